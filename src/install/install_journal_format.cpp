// portable: builds without Win32
#include "install/install_journal_format.h"

#include "base/text.h"

namespace nm::install_journal {

namespace {
constexpr std::string_view kHeader = "novamend install journal 1";

std::string Line(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty()) line += '\t';
        line += field;
    }
    return line + '\n';
}

std::string Field(std::wstring_view text) { return text::EscapedUtf8(text); }

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

std::optional<std::uint32_t> Index(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

std::wstring Text(std::string_view field) { return text::FromEscapedUtf8(field); }

// One whole line into the journal; false when it breaks the journal's shape.
bool Apply(const std::vector<std::string_view>& f, Journal& journal) {
    const std::string_view name = f[0];
    const size_t count = f.size();
    if (name == "version" && count == 2) {
        journal.version = Text(f[1]);
    } else if (name == "list" && count == 3) {
        journal.new_list = Text(f[1]);
        journal.comparison_copy = Text(f[2]);
    } else if (name == "tasks" && count == 2) {
        journal.saved_list = Text(f[1]);
    } else if (name == "work" && count == 2) {
        journal.work_directory = Text(f[1]);
    } else if (name == "folder" && count == 2) {
        journal.made_folders.push_back(Text(f[1]));
    } else if (name == "step" && count >= 5) {
        const auto index = Index(f[1]);
        // Steps come in order, each once: the settling walks them by index.
        if (!index || *index != journal.steps.size()) return false;
        Step step;
        if (f[2] == "replace" && count == 6) {
            step.kind = StepKind::Replace;
            step.target = Text(f[3]);
            step.ready = Text(f[4]);
            step.backup = Text(f[5]);
            if (step.ready.empty()) return false;
        } else if (f[2] == "remove" && count == 5) {
            step.kind = StepKind::Remove;
            step.target = Text(f[3]);
            step.backup = Text(f[4]);
            if (step.backup.empty()) return false;
        } else {
            return false;
        }
        if (step.target.empty()) return false;
        journal.steps.push_back(std::move(step));
    } else if (name == "ready" && count >= 3) {
        const auto index = Index(f[1]);
        if (!index || *index >= journal.steps.size()) return false;
        Step& step = journal.steps[*index];
        if (f[2] == "moved" && count == 4) {
            step.made = ReadyMade::Moved;
            step.staged = Text(f[3]);
        } else if (f[2] == "copied" && count == 3) {
            step.made = ReadyMade::Copied;
            step.staged.clear();
        } else {
            return false;
        }
    } else if (name == "done" && count == 2) {
        const auto index = Index(f[1]);
        if (!index || *index >= journal.steps.size()) return false;
        journal.done.insert(*index);
    } else if (name == "task" && count == 2) {
        const auto index = Index(f[1]);
        if (!index) return false;
        journal.tasks_begun.insert(*index);
    } else if (name == "prepared" && count == 1) {
        journal.prepared = true;
    } else if (name == "rollback" && count == 1) {
        journal.rolling_back = true;
    } else if (name == "committed" && count == 1) {
        journal.committed = true;
    }
    // A record of a later build is passed over: what it says is not needed
    // to settle what this build wrote.
    return true;
}
}  // namespace

std::string Header() { return std::string(kHeader) + '\n'; }
std::string VersionRecord(std::wstring_view version) { return Line({"version", Field(version)}); }
std::string ListRecord(std::wstring_view new_list, std::wstring_view comparison_copy) {
    return Line({"list", Field(new_list), Field(comparison_copy)});
}
std::string SavedListRecord(std::wstring_view saved_list) { return Line({"tasks", Field(saved_list)}); }
std::string WorkRecord(std::wstring_view work_directory) { return Line({"work", Field(work_directory)}); }
std::string FolderRecord(std::wstring_view folder) { return Line({"folder", Field(folder)}); }

std::string StepRecord(std::uint32_t index, const Step& step) {
    if (step.kind == StepKind::Remove)
        return Line({"step", std::to_string(index), "remove", Field(step.target), Field(step.backup)});
    return Line({"step", std::to_string(index), "replace", Field(step.target), Field(step.ready), Field(step.backup)});
}

std::string ReadyRecord(std::uint32_t index, ReadyMade made, std::wstring_view staged) {
    if (made == ReadyMade::Moved) return Line({"ready", std::to_string(index), "moved", Field(staged)});
    return Line({"ready", std::to_string(index), "copied"});
}

std::string DoneRecord(std::uint32_t index) { return Line({"done", std::to_string(index)}); }
std::string TaskRecord(std::uint32_t index) { return Line({"task", std::to_string(index)}); }
std::string PreparedRecord() { return Line({"prepared"}); }
std::string RollbackRecord() { return Line({"rollback"}); }
std::string CommittedRecord() { return Line({"committed"}); }

bool Parse(std::string_view bytes, Journal& journal) {
    Journal read;
    size_t start = 0;
    bool header = false;
    for (;;) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) break;  // no line end: cut short
        const std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        if (!header) {
            if (line != kHeader) return false;
            header = true;
            continue;
        }
        if (!Apply(Fields(line), read)) return false;
    }
    // A journal cut short in its first line had changed nothing yet.
    if (!header && bytes.size() > kHeader.size()) return false;
    if (!header && kHeader.substr(0, bytes.size()) != bytes) return false;
    journal = std::move(read);
    return true;
}

Settle Direction(const Journal& journal) {
    return journal.prepared && !journal.rolling_back ? Settle::Forward : Settle::Back;
}

}  // namespace nm::install_journal
