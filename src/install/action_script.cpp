#include "install/action_script.h"

#include "base/file_ops.h"
#include "base/path_macros.h"
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
    explicit Interpreter(HWND window) : window_(window), application_directory_(Services().settings.ApplicationDirectory()) {}

    void Command(IXMLDOMNode* element) {
        const std::wstring name = xml::NodeName(element);
        if (name == L"run") Run(element);
        else if (name == L"ren" || name == L"rename") Rename(element);
        else if (name == L"kill") Kill(element);
        else if (name == L"path") MakeDirectory(element);
        else if (name == L"del") Delete(element);
        else if (name == L"shortcut") Shortcut(element);
        else if (name == L"ini") Ini(element);
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

    void Run(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file");
        if (file.empty()) return;
        RunFile(file, xml::Attribute(element, L"workpath"), xml::Attribute(element, L"param"), window_,
                run_file_rules::ScriptRunWaits(xml::Attribute(element, L"waitclose")));
    }

    void Rename(IXMLDOMNode* element) {
        const std::wstring source = Expanded(element, L"source"), target = Expanded(element, L"target");
        if (source.empty() || target.empty()) return;
        Report(TranslateMain(L"Move file:") + L"[" + source + L"->" + target + L"]");
        ::MoveFileW(source.c_str(), target.c_str());
    }

    void Kill(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file");
        if (file.empty()) return;
        Report(TranslateMain(L"Kill process") + L"[" + file + L"]");
        CloseProcessesMatching(file);
    }

    void MakeDirectory(IXMLDOMNode* element) {
        std::wstring directory = Expanded(element, L"name");
        if (directory.empty()) directory = ExpandPathMacros(text::Trim(xml::NodeText(element)), application_directory_);
        if (directory.empty()) return;
        Report(TranslateMain(L"Create directory") + L"[" + directory + L"]");
        files::CreateDirectoryLevels(directory);
    }

    void Delete(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file"), tree = Expanded(element, L"path");
        if (!file.empty()) {
            Report(TranslateMain(L"Remove file") + L"[" + file + L"]");
            DeleteAppFile(file, application_directory_);
        }
        if (!tree.empty()) {
            Report(TranslateMain(L"Remove path") + L"[" + tree + L"]");
            files::RemoveDirectoryTree(tree);
        }
    }

    void Shortcut(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file"), location = Expanded(element, L"shortcut");
        if (file.empty() || location.empty()) return;
        CreateShortcut(file, run_file_rules::FolderOf(file), location, Expanded(element, L"shortcuticon"),
                       static_cast<int>(text::ToLong(Expanded(element, L"iconindex"))));
        Report(text::Format(TranslateMain(L"Create shortcut[%s]..."), {location}));
    }

    void Ini(IXMLDOMNode* element) {
        const std::wstring file = Expanded(element, L"file");
        const std::wstring section = xml::Attribute(element, L"app"), key = xml::Attribute(element, L"key");
        const std::wstring value = xml::Attribute(element, L"value");
        if (file.empty() || section.empty() || key.empty()) return;
        const std::wstring name = run_file_rules::FileNameOf(file);
        if (value.empty()) {
            ::WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, file.c_str());
            Report(text::Format(TranslateMain(L"Empty ini[%s][%s]"), {name, key}));
        } else {
            ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str());
            Report(text::Format(TranslateMain(L"Write ini[%s][%s][%s]"), {name, key, value}));
        }
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
