#include "install/action_script.h"

#include "base/file_ops.h"
#include "base/ini_file.h"
#include "base/path_macros.h"
#include "base/system_error.h"
#include "base/text.h"
#include "base/xml_dom.h"
#include "install/app_files.h"
#include "install/main_program.h"
#include "install/run_file.h"
#include "install/run_file_rules.h"
#include "install/shortcuts.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/window_messages.h"

namespace nm {

namespace {
class Interpreter {
public:
    explicit Interpreter(HWND window)
        : window_(window), application_directory_(Services().settings.ApplicationDirectory()) {}

    void Command(IXMLDOMNode* element) {
        const std::wstring name = xml::NodeName(element);
        if (name == L"run")
            Run(element);
        else if (name == L"ren" || name == L"rename")
            Rename(element);
        else if (name == L"kill")
            Kill(element);
        else if (name == L"path")
            MakeDirectory(element);
        else if (name == L"del")
            Delete(element);
        else if (name == L"shortcut")
            Shortcut(element);
        else if (name == L"ini")
            Ini(element);
    }

private:
    // An attribute with path and parameter macros expanded.
    std::wstring Expanded(IXMLDOMNode* element, const wchar_t* name) const {
        const std::wstring value = path_macros::ExpandParameters(
            xml::Attribute(element, name),
            [](const std::wstring& key) { return Services().settings.Read(L"UPDATEINFO", key); });
        return ExpandPathMacros(value, application_directory_);
    }

    void Report(const std::wstring& text) { ShowAndLog(window_, text, kStatusStep); }
    // What a command did when it did not do what it said: the line again,
    // as a problem, with the system's reason where there is one.
    bool ReportFailure(const std::wstring& text, DWORD error) {
        ShowAndLog(window_, text + L" " + TranslateMain(L"failed") + SystemReason(error), kStatusProblem);
        return false;
    }
    bool Outcome(const std::wstring& text, bool done) { return done || ReportFailure(text, ::GetLastError()); }

    void Run(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file");
        if (file.empty()) return;
        // RunFile reports the start itself, and skips a program that is not there.
        if (RunFile(file, xml::Attribute(element, L"workpath"), xml::Attribute(element, L"param"), window_,
                    run_file_rules::ScriptRunWaits(xml::Attribute(element, L"waitclose"))))
            return;
        const DWORD error = ::GetLastError();
        if (files::Exists(file)) ReportFailure(TranslateMain(L"Run file") + L"[" + file + L"]", error);
    }

    void Rename(IXMLDOMNode* element) {
        const std::wstring source = Expanded(element, L"source"), target = Expanded(element, L"target");
        if (source.empty() || target.empty()) return;
        const std::wstring line = TranslateMain(L"Move file:") + L"[" + source + L"->" + target + L"]";
        Report(line);
        Outcome(line, files::Move(source, target));
    }

    void Kill(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file");
        if (file.empty()) return;
        const std::wstring line = TranslateMain(L"Kill process") + L"[" + file + L"]";
        Report(line);
        if (!CloseProcessesMatching(file)) ReportFailure(line, ERROR_SUCCESS);
    }

    void MakeDirectory(IXMLDOMNode* element) {
        std::wstring directory = Expanded(element, L"name");
        if (directory.empty()) directory = ExpandPathMacros(text::Trim(xml::NodeText(element)), application_directory_);
        if (directory.empty()) return;
        const std::wstring line = TranslateMain(L"Create directory") + L"[" + directory + L"]";
        Report(line);
        files::CreateDirectoryLevels(directory);
        Outcome(line, files::Exists(directory));
    }

    void Delete(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file"), tree = Expanded(element, L"path");
        if (!file.empty()) {
            const std::wstring line = TranslateMain(L"Remove file") + L"[" + file + L"]";
            Report(line);
            // A file that is not there is as good as removed.
            if (!DeleteAppFile(file, application_directory_) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
                ReportFailure(line, ::GetLastError());
        }
        if (!tree.empty()) {
            const std::wstring line = TranslateMain(L"Remove path") + L"[" + tree + L"]";
            Report(line);
            if (files::Exists(tree)) Outcome(line, files::RemoveDirectoryTree(tree));
        }
    }

    void Shortcut(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file"), location = Expanded(element, L"shortcut");
        if (file.empty() || location.empty()) return;
        const bool created =
            CreateShortcut(file, run_file_rules::FolderOf(file), location, Expanded(element, L"shortcuticon"),
                           static_cast<int>(text::ToLong(Expanded(element, L"iconindex"))));
        const std::wstring line = text::Format(TranslateMain(L"Create shortcut[%s]..."), {location});
        Report(line);
        if (!created) ReportFailure(line, ERROR_SUCCESS);
    }

    void Ini(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file");
        const std::wstring section = xml::Attribute(element, L"app"), key = xml::Attribute(element, L"key");
        const std::wstring value = xml::Attribute(element, L"value");
        if (file.empty() || section.empty() || key.empty()) return;
        const std::wstring name = run_file_rules::FileNameOf(file);
        const bool written = value.empty() ? ini::Remove(file, section, key) : ini::Write(file, section, key, value);
        const DWORD error = ::GetLastError();
        const std::wstring line = value.empty()
                                      ? text::Format(TranslateMain(L"Empty ini[%s][%s]"), {name, key})
                                      : text::Format(TranslateMain(L"Write ini[%s][%s][%s]"), {name, key, value});
        Report(line);
        if (!written) ReportFailure(line, error);
    }

    HWND window_;
    const std::wstring application_directory_;
};
}  // namespace

bool ActionScript(const std::wstring& script_path, HWND window) {
    xml::LoadedDocument loaded = xml::LoadDocument(script_path);
    if (!loaded.document) return false;
    com_ptr<IXMLDOMElement> root;
    if (FAILED(loaded.document->get_documentElement(root.put())) || !root) return false;
    com_ptr<IXMLDOMNode> root_node;
    if (FAILED(root->QueryInterface(IID_IXMLDOMNode, root_node.put_void()))) return false;
    Interpreter interpreter(window);
    xml::ForEachElement(root_node.get(), [&](IXMLDOMNode* element) {
        interpreter.Command(element);
        return true;
    });
    return true;
}

}  // namespace nm
