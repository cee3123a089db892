// brand: writes a settings file into a copy of novamend.exe as its embedded
// default, and optionally the progress window's caption and pictures, so
// vendors brand the updater without a compiler.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/file_ops.h"
#include "base/scope_guard.h"
#include "base/unique_handle.h"
#include "res/resource_ids.h"
#include "services/embedded_settings.h"
#include "tool/tool_commands.h"
#include "tool/vendor_settings.h"
#include "ui/gif_frames.h"
#include "ui/product_caption.h"

namespace nm::tool {

namespace {
// Far above any real settings file or picture.
constexpr std::int64_t kLargestSettings = 16 * 1024 * 1024;
constexpr std::int64_t kLargestPicture = 16 * 1024 * 1024;

constexpr wchar_t kUsage[] =
    L"usage: novamend-tool brand UPDATER SETTINGS [OUT] [--caption TEXT] [--picture NAME=GIF]... [--pictures DIR]\n"
    L"  --caption TEXT       the progress window's caption (\"\" gives back the translated \"Novamend\")\n"
    L"  --picture NAME=GIF   replaces one picture; NAME is one below, or its resource number\n"
    L"  --pictures DIR       replaces every picture DIR holds as NAME.gif\n"
    L"  pictures: background (188), bar (189), minimise_normal, minimise_pressed, minimise_hover,\n"
    L"            minimise_disabled (190-193), hide_normal, hide_pressed, hide_hover, hide_disabled (194-197)\n";

// The GIF resources of the progress window, named as their files in the sources.
struct PictureResource {
    int id;
    const wchar_t* name;
};
constexpr PictureResource kPictures[] = {
    {IDG_PROGRESS_BACKGROUND, L"background"},  {IDG_PROGRESS_BAR, L"bar"},
    {IDG_MINIMISE_NORMAL, L"minimise_normal"}, {IDG_MINIMISE_PRESSED, L"minimise_pressed"},
    {IDG_MINIMISE_HOVER, L"minimise_hover"},   {IDG_MINIMISE_DISABLED, L"minimise_disabled"},
    {IDG_HIDE_NORMAL, L"hide_normal"},         {IDG_HIDE_PRESSED, L"hide_pressed"},
    {IDG_HIDE_HOVER, L"hide_hover"},           {IDG_HIDE_DISABLED, L"hide_disabled"},
};
constexpr wchar_t kPictureType[] = L"GIF";

// String table resources hold their strings in blocks of 16, each a length and its characters.
constexpr int kStringsPerBlock = 16;
const wchar_t* CaptionBlockName() { return MAKEINTRESOURCEW(kProductCaptionStringId / kStringsPerBlock + 1); }

struct Picture {
    int id = 0;
    std::wstring path;
    std::string bytes;
};

struct Request {
    std::vector<std::wstring> files;  // UPDATER SETTINGS [OUT]
    std::optional<std::wstring> caption;
    std::vector<Picture> pictures;
};

std::optional<int> PictureId(const std::wstring& name) {
    for (const PictureResource& picture : kPictures)
        if (name == picture.name || name == std::to_wstring(picture.id)) return picture.id;
    return std::nullopt;
}

int Refuse(const std::wstring& what) {
    std::fwprintf(stderr, L"novamend-tool brand: %ls\n", what.c_str());
    return 1;
}

// Options may stand anywhere after the command; the other words are the
// files. Empty when the words make a request, else what is wrong with them.
std::wstring ParseRequest(const Arguments& args, Request& request) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& word = args[i];
        if (word != L"--caption" && word != L"--picture" && word != L"--pictures") {
            if (word.starts_with(L"--")) return L"unknown option " + word;
            request.files.push_back(word);
            continue;
        }
        if (i + 1 == args.size()) return word + L" needs a value";
        const std::wstring& value = args[++i];
        if (word == L"--caption") {
            request.caption = value;
        } else if (word == L"--picture") {
            const std::size_t equals = value.find(L'=');
            const auto id = equals == std::wstring::npos ? std::nullopt : PictureId(value.substr(0, equals));
            if (!id) return L"--picture wants NAME=GIF with one of the picture names below: " + value;
            request.pictures.push_back({*id, value.substr(equals + 1), {}});
        } else {
            const std::size_t before = request.pictures.size();
            for (const PictureResource& picture : kPictures) {
                const std::wstring path = value + L"\\" + picture.name + L".gif";
                if (files::Exists(path)) request.pictures.push_back({picture.id, path, {}});
            }
            if (request.pictures.size() == before) return L"no picture file (NAME.gif, names below) in " + value;
        }
    }
    if (request.files.size() < 2 || request.files.size() > 3) return L"UPDATER and SETTINGS are needed, OUT may follow";
    if (request.caption && request.caption->size() > 200) return L"the caption is longer than 200 characters";
    return {};
}

// A file the window could not show is refused here, where the vendor sees why.
int ReadPicture(Picture& picture) {
    if (!files::ReadAll(picture.path, picture.bytes, kLargestPicture))
        return CannotRead(L"brand", L"a GIF picture", picture.path, kLargestPicture);
    const auto* data = reinterpret_cast<const std::uint8_t*>(picture.bytes.data());
    const GifAnimation gif = SplitGif(data, picture.bytes.size());
    if (!gif.is_gif) return Refuse(picture.path + L" is not a GIF picture (it does not start with GIF87a or GIF89a)");
    if (gif.width == 0)
        return Refuse(picture.path + L" is a GIF of a size the window cannot show (0, or above " +
                      std::to_wstring(kLargestGifSide) + L" pixels a side)");
    if (gif.frames.empty()) return Refuse(picture.path + L" is a damaged GIF picture (no complete image in it)");
    return 0;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

// A resource to write, with the languages under which the executable
// already carries it: all of them go (a second language copy would leave
// the old one in force), and it is written once under the first of them.
// Empty data only removes it.
struct Replacement {
    const wchar_t* type;
    const wchar_t* name;
    const void* data;
    DWORD size;
    std::vector<WORD> languages;
};

void FindLanguages(HMODULE module, Replacement& replacement) {
    if (module)
        ::EnumResourceLanguagesW(module, replacement.type, replacement.name, CollectLanguage,
                                 reinterpret_cast<LONG_PTR>(&replacement.languages));
}

bool Write(HANDLE update, const Replacement& replacement) {
    for (WORD language : replacement.languages)
        ::UpdateResourceW(update, replacement.type, replacement.name, language, nullptr, 0);
    if (replacement.size == 0) return true;
    const WORD language =
        replacement.languages.empty() ? MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) : replacement.languages.front();
    return ::UpdateResourceW(update, replacement.type, replacement.name, language, const_cast<void*>(replacement.data),
                             replacement.size) != FALSE;
}

// The string block that holds the caption, with the caption set in it and
// the other strings of the block kept.
std::vector<WORD> CaptionBlock(HMODULE module, const std::wstring& caption) {
    std::vector<std::wstring> strings(kStringsPerBlock);
    HRSRC found = module ? ::FindResourceW(module, CaptionBlockName(), RT_STRING) : nullptr;
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    if (const auto* words = loaded ? static_cast<const WORD*>(::LockResource(loaded)) : nullptr) {
        const std::size_t count = ::SizeofResource(module, found) / sizeof(WORD);
        for (std::size_t at = 0, i = 0; i < strings.size() && at < count; ++i) {
            const std::size_t length = std::min<std::size_t>(words[at], count - at - 1);
            strings[i].assign(reinterpret_cast<const wchar_t*>(words + at + 1), length);
            at += 1 + length;
        }
    }
    strings[kProductCaptionStringId % kStringsPerBlock] = caption;
    std::vector<WORD> block;
    bool any = false;
    for (const std::wstring& text : strings) {
        block.push_back(static_cast<WORD>(text.size()));
        block.insert(block.end(), text.begin(), text.end());
        any = any || !text.empty();
    }
    return any ? block : std::vector<WORD>{};
}
}  // namespace

int Brand(const Arguments& args) {
    Request request;
    if (const std::wstring wrong = ParseRequest(args, request); !wrong.empty()) {
        Refuse(wrong);
        std::fwprintf(stderr, L"%ls", kUsage);
        return 2;
    }
    const std::wstring source = request.files[0], settings = request.files[1];
    const std::wstring target = request.files.size() == 3 ? request.files[2] : source;

    // Everything is checked before anything is written.
    if (const std::wstring fault = UpdaterFault(source); !fault.empty()) return Refuse(fault);
    std::string bytes;
    if (!files::ReadAll(settings, bytes, kLargestSettings))
        return CannotRead(L"brand", L"a settings file", settings, kLargestSettings);
    if (const std::wstring fault = SettingsTextFault(bytes, settings); !fault.empty()) return Refuse(fault);
    if (const std::vector<std::wstring> faults = SettingsFaults(files::FullPath(settings), settings); !faults.empty()) {
        for (const std::wstring& fault : faults) Refuse(fault);
        return 1;
    }
    for (Picture& picture : request.pictures)
        if (const int failed = ReadPicture(picture)) return failed;
    // The branded copy is made beside the target and takes its name only
    // when complete: a failure leaves no partial file, nor a damaged updater
    // when it is branded in place.
    const std::wstring scratch = target + L".__brand.tmp";
    remove_unless_kept remove_scratch(scratch);
    if (!files::CopyReplacing(source, scratch)) return Fail(L"brand", L"cannot write", scratch);

    std::vector<Replacement> replacements;
    replacements.push_back({kEmbeddedSettingsType,
                            MAKEINTRESOURCEW(kEmbeddedSettingsId),
                            bytes.data(),
                            static_cast<DWORD>(bytes.size()),
                            {}});
    for (const Picture& picture : request.pictures)
        replacements.push_back({kPictureType,
                                MAKEINTRESOURCEW(picture.id),
                                picture.bytes.data(),
                                static_cast<DWORD>(picture.bytes.size()),
                                {}});
    std::vector<WORD> caption_block;
    {
        // What the copy carries now, read before it is opened for the update.
        unique_hmodule existing(::LoadLibraryExW(scratch.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (request.caption) {
            caption_block = CaptionBlock(existing.get(), *request.caption);
            replacements.push_back({RT_STRING,
                                    CaptionBlockName(),
                                    caption_block.data(),
                                    static_cast<DWORD>(caption_block.size() * sizeof(WORD)),
                                    {}});
        }
        for (Replacement& replacement : replacements) FindLanguages(existing.get(), replacement);
    }

    unique_resource_update update(::BeginUpdateResourceW(scratch.c_str(), FALSE));
    if (!update) return Fail(L"brand", L"cannot open for update", scratch);
    for (const Replacement& replacement : replacements)
        if (!Write(update.get(), replacement)) return Fail(L"brand", L"cannot write the resources of", scratch);
    if (!::EndUpdateResourceW(update.release(), FALSE)) return Fail(L"brand", L"cannot save", scratch);
    if (!files::MoveReplacing(scratch, target)) return Fail(L"brand", L"cannot write", target);
    remove_scratch.keep();
    return 0;
}

}  // namespace nm::tool
