#include "list/update_list_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "app/update_app.h"
#include "base/com_text.h"
#include "base/unique_handle.h"
#include "list/list_entry_rules.h"
#include "list/portable_list_reader.h"
#include "scratch_directory.h"

namespace nm {
namespace {

// Every case runs through the system's DOM, as the updater reads, and
// through the portable reader of the native tool, which must read the same.
class ReadUpdateListTest : public ::testing::TestWithParam<bool> {
protected:
    bool Portable() const { return GetParam(); }
    // Reads with a list object and error display of the test's own.
    bool Read(const std::wstring& path, bool main_list = true) {
        if (Portable())
            return ReadPortably(path, [&](const std::string& bytes) {
                return portable_list::ReadUpdateList(bytes, entries, main_list, list);
            });
        return ReadUpdateList(path, entries, main_list, list,
                              [this](const std::wstring& text) { errors.push_back(text); });
    }
    bool Versions(const std::wstring& path, ListVersions& versions, std::uint64_t* serial = nullptr) {
        if (Portable())
            return ReadPortably(path, [&](const std::string& bytes) {
                return portable_list::ReadListVersions(bytes, versions, serial);
            });
        return ReadListVersions(
            path, versions, [this](const std::wstring& text) { errors.push_back(text); }, serial);
    }
    // As the native tool reads a file: its bytes, and the copy on disk
    // without its guid.
    template <class Read>
    static bool ReadPortably(const std::wstring& path, Read&& read) {
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
        const portable_list::DocumentRead result = read(ReadFileBytes(path));
        if (result.without_guid) WriteFileBytes(path, *result.without_guid);
        return result.read;
    }
    std::wstring List(const std::string& body, const std::string& root = "update") {
        return folder.Write(L"list.xml",
                            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<" + root + ">" + body + "</" + root + ">");
    }

    com_apartment com;
    ScratchDirectory folder;
    DownLoadList list;
    std::vector<updatefileinfo> entries;
    std::vector<std::wstring> errors;
};

TEST_P(ReadUpdateListTest, EntriesInDocumentOrderAtAnyDepth) {
    ASSERT_TRUE(Read(List(R"(
        <file path="a.dll" ver=" 1.0A " oper="reg" shortcut="A" shortcuticon="a.ico" iconindex="2" dstname="b.dll"/>
        <group><sub>
          <description>Line &amp; one</description>
          <file Name="deep\x.exe" Ver="2"><file path="inner.txt" md5="ABC"/></file>
        </sub></group>
        <!-- <file path="commented.dll"/> -->
        <run path="{app}\setup.exe" param="/s" wait="yes"/>
        <unknown path="not-a-file.dll" ver="1"/>
        <?file path="processing.dll"?>)")));
    ASSERT_EQ(entries.size(), 5u);
    const updatefileinfo& a = entries[0];
    EXPECT_EQ(a.path, L"a.dll");
    EXPECT_EQ(a.ver, L"1.0a");
    EXPECT_EQ(a.flags, list_entry::OperFlags(L"reg"));
    EXPECT_EQ(a.shortcut, L"A");
    EXPECT_EQ(a.shortcuticon, L"a.ico");
    EXPECT_EQ(a.iconindex, L"2");
    EXPECT_EQ(a.dstname, L"b.dll");
    EXPECT_TRUE(IsDescriptionEntry(entries[1]));
    EXPECT_EQ(entries[1].path, L"Line & one");
    EXPECT_EQ(entries[1].ver, L"999");
    EXPECT_EQ(entries[2].path, L"deep\\x.exe");
    EXPECT_EQ(entries[3].path, L"inner.txt");  // a file inside a file is still read
    EXPECT_EQ(entries[3].ver, L"abc");
    ASSERT_TRUE(IsRunEntry(entries[4]));
    list_entry::RunCommand run = list_entry::SplitRunCommand(entries[4].path);
    EXPECT_EQ(run.program, L"{app}\\setup.exe");
    EXPECT_EQ(run.parameters, L"/s");
    EXPECT_EQ(run.wait, L"yes");
    EXPECT_TRUE(errors.empty());
}

TEST_P(ReadUpdateListTest, AcceptedRootsOnly) {
    ASSERT_TRUE(Read(List(R"(<group><update><file path="n.dll"/></update></group>)", "updates")));
    ASSERT_EQ(entries.size(), 1u);  // an inner "update" is just a wrapper
    EXPECT_EQ(entries[0].path, L"n.dll");

    entries.clear();
    EXPECT_TRUE(Read(List(R"(<file path="m.dll"/>)", "novamend")));
    EXPECT_EQ(entries.size(), 1u);

    entries.clear();
    for (const char* root : {"Update", "list", "UPDATE"}) {
        EXPECT_FALSE(Read(List(R"(<file path="x.dll"/>)", root))) << root;
    }
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(errors.empty());
}

TEST_P(ReadUpdateListTest, BrokenOrEmptyFilesAreNoListAndShowNothing) {
    const std::string broken[] = {
        "",
        "   ",
        "<update>",
        "<update><file path=\"a\"></update>",
        "not xml at all",
        "\xFF\xFE\x00",
        "<update><file path=\"a\" path=\"b\"/></update>",  // a repeated attribute
    };
    for (const auto& bytes : broken) {
        EXPECT_FALSE(Read(folder.Write(L"broken.xml", bytes))) << bytes;
    }
    EXPECT_FALSE(Read(folder.File(L"missing.xml")));
    EXPECT_FALSE(Read(folder.File(L"missing.xml"), false));
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(errors.empty());
    // An empty root is a list with nothing in it.
    EXPECT_TRUE(Read(List("")));
    EXPECT_TRUE(entries.empty());
}

TEST_P(ReadUpdateListTest, DuplicatePathsFirstWinsIgnoringCase) {
    ASSERT_TRUE(Read(List(R"(
        <file path="Bin\A.dll" ver="1"/>
        <file path="bin\a.DLL" ver="2"/>
        <file url="http://h/x/bin/a.dll"/>
        <file url="http://h/y/A.dll" ver="3"/>
        <run path="r.exe"/><run path="r.exe"/>
        <description>same</description><description>same</description>)")));
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0].ver, L"1");
    EXPECT_EQ(entries[1].path, L"a.dll");  // from the first address; the second address gives the same path
    EXPECT_EQ(entries[1].url, L"http://h/x/bin/a.dll");
    EXPECT_TRUE(IsRunEntry(entries[2]) && IsRunEntry(entries[3]));
    EXPECT_TRUE(IsDescriptionEntry(entries[4]) && IsDescriptionEntry(entries[5]));
}

TEST_P(ReadUpdateListTest, AddressesInPathsAndPathsFromAddresses) {
    ASSERT_TRUE(Read(List(R"(
        <file path="http://example.com/dir/a.dll" ver="1"/>
        <file url="https://example.com/files/dir/" ver="1"/>
        <file Path="bin|tool.exe._.zip" Url="http://h/tool.zip"/>
        <file PATH="ignored.dll" url="http://h/real.dll"/>)")));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].url, L"http://example.com/dir/a.dll");
    EXPECT_EQ(entries[0].path, L"a.dll");
    EXPECT_EQ(entries[1].path, L"dir");
    EXPECT_EQ(entries[2].path, L"bin\\tool.exe");
    EXPECT_EQ(entries[2].url, L"http://h/tool.zip");
    EXPECT_EQ(entries[3].path, L"real.dll");  // PATH in capitals is not a path
}

TEST_P(ReadUpdateListTest, SpellingPrecedenceThroughTheDocument) {
    ASSERT_TRUE(Read(List(R"(<file name="n.dll" File="f.dll" Path="" ACTIVITY="del" Oper="run" MD5="m" Ver="v"
                               SHORTCUTICONINDEX="9" IconIndex="3" DstName="d1" desname="d2"/>)")));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, L"f.dll");
    EXPECT_EQ(entries[0].flags, kEntryRun);
    EXPECT_EQ(entries[0].ver, L"v");
    EXPECT_EQ(entries[0].iconindex, L"3");
    EXPECT_EQ(entries[0].dstname, L"d2");
}

TEST_P(ReadUpdateListTest, MainListCarriesGuidAndFileUrlAndLosesTheGuidOnDisk) {
    list.url_template = L"left over";
    const std::wstring path = List(R"(<guid>{ABC-1}</guid><fileurl>{listurl-base}/v2/{filename}</fileurl>
                                      <file path="a.dll" ver="1"/><group><guid>inner</guid></group>)");
    ASSERT_TRUE(Read(path));
    EXPECT_EQ(list.guid, L"{ABC-1}");
    EXPECT_EQ(list.url_template, L"{listurl-base}/v2/{filename}");
    const std::string on_disk = ReadFileBytes(path);
    EXPECT_EQ(on_disk.find("{ABC-1}"), std::string::npos);
    EXPECT_NE(on_disk.find("inner"), std::string::npos);  // only the root's own guid goes
    EXPECT_NE(on_disk.find("a.dll"), std::string::npos);

    // Read again: the file is still a list, and now has no guid.
    entries.clear();
    list.guid = L"kept";
    ASSERT_TRUE(Read(path));
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_EQ(list.guid, L"kept");
}

// Signed releases add sha256 and serial: the entries stay what they were
// without them, so a client without a key reads such a list as before.
TEST_P(ReadUpdateListTest, SignedListKeepsItsEntriesAndGivesSerialAndHashes) {
    const std::string files = R"(<file path="a|b.dll" ver="1" XX="2"/><file path="c.dll" ver="2"/>)";
    ASSERT_TRUE(Read(List(files)));
    const std::vector<updatefileinfo> plain = entries;
    entries.clear();
    const std::wstring signed_list = List(R"(<serial> 42 </serial><file path="a|b.dll" ver="1" XX="2"
        sha256=" 9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08 "/><file path="c.dll" ver="2"/>)");
    ASSERT_TRUE(Read(signed_list));
    ASSERT_EQ(entries.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(entries[i].path, plain[i].path);
        EXPECT_EQ(entries[i].ver, plain[i].ver);
        EXPECT_EQ(entries[i].flags, plain[i].flags);
    }
    EXPECT_EQ(list.serial, 42u);
    EXPECT_EQ(list.file_hashes,
              (std::map<std::wstring, std::wstring>{
                  {L"a\\b.dll", L"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"}}));
    // The comparison copy gives its serial too; without one it is 0.
    ListVersions versions;
    std::uint64_t serial = 7;
    ASSERT_TRUE(Versions(signed_list, versions, &serial));
    EXPECT_EQ(serial, 42u);
    ASSERT_TRUE(Versions(List(files), versions, &serial));
    EXPECT_EQ(serial, 0u);
}

TEST_P(ReadUpdateListTest, ComparisonCopyGivesEntriesOnlyButAlsoLosesItsGuid) {
    const std::wstring path = List(R"(<guid>{OLD}</guid><fileurl>elsewhere</fileurl><file path="a.dll" ver="1"/>)");
    ASSERT_TRUE(Read(path, false));
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_EQ(list.guid, L"");
    EXPECT_EQ(list.url_template, DownLoadList::kDefaultUrlTemplate);
    EXPECT_EQ(ReadFileBytes(path).find("{OLD}"), std::string::npos);
}

// The comparison reads the copy's versions alone; they must be what the
// copy's entries would have given, whatever the list holds.
TEST_P(ReadUpdateListTest, ComparisonVersionsStandForTheCopysEntries) {
    const std::string body = R"(<guid>{OLD}</guid>
        <file path="Bin\A.dll" ver=" 1.0B "/>
        <file path="bin\a.DLL" ver="2"/>
        <file path="http://h/x/addr.dll" ver="3" url="http://h/ignored.dll"/>
        <file url="https://h/files/dir/" MD5="M5"/>
        <file name="n.dll" File="f.dll" Path="" md5="m" Ver="v" dstname="unread"/>
        <file path="bin|tool.exe._.zip" ver="4"/>
        <file path="nover.dll"/>
        <group><file path="deep.dll" ver="5"/></group>
        <run path=" {app}|setup.exe " param="/s|x" wait="yes"/>
        <run path=" {app}|setup.exe " param="/s|x" wait="yes"/>
        <description>  notes  </description>)";
    ASSERT_TRUE(Read(List(body), false));
    const std::wstring copy = List(body);
    ListVersions versions;
    ASSERT_TRUE(Versions(copy, versions));

    auto version_of = [&versions](std::wstring_view path) {
        const std::wstring_view* version = versions.Find(path);
        return version ? std::wstring(*version) : std::wstring(L"(absent)");
    };
    // Every path the entries have, with the version of its first entry, and nothing else.
    std::vector<std::wstring> paths;
    for (const auto& e : entries) {
        if (std::find(paths.begin(), paths.end(), e.path) != paths.end()) continue;
        EXPECT_EQ(version_of(e.path), e.ver) << e.path;
        paths.push_back(e.path);
    }
    EXPECT_EQ(versions.size(), paths.size());
    EXPECT_EQ(paths.size(), 9u);                        // the second run entry shares its path with the first
    EXPECT_EQ(version_of(L"bin\\a.DLL"), L"(absent)");  // dropped as a duplicate
    EXPECT_EQ(version_of(L"Bin\\A.dll"), L"1.0b");
    EXPECT_EQ(version_of(L"f.dll"), L"v");
    EXPECT_EQ(version_of(L"dir"), L"m5");
    EXPECT_EQ(version_of(L"bin\\tool.exe"), L"4");
    EXPECT_EQ(ReadFileBytes(copy).find("{OLD}"), std::string::npos);  // loses its guid too
    EXPECT_TRUE(errors.empty());
}

TEST_P(ReadUpdateListTest, ComparisonVersionsOfBrokenOrMissingCopies) {
    auto report = [this](const std::wstring& text) { errors.push_back(text); };
    ListVersions versions;
    EXPECT_FALSE(Versions(folder.File(L"missing.xml"), versions));
    EXPECT_FALSE(Versions(folder.Write(L"broken.xml", "<update><file path=\"a\">"), versions));
    EXPECT_EQ(versions.size(), 0u);
    EXPECT_TRUE(errors.empty());
    if (Portable()) return;  // the rest is of the system's DOM alone
    // Without COM the copy cannot be read: the message names the file.
    const std::wstring path = List(R"(<file path="a.dll" ver="1"/>)");
    bool result = true;
    std::thread([&] { result = ReadListVersions(path, versions, report); }).join();
    EXPECT_FALSE(result);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], L"The xml file format error!\n" + path);
}

TEST_P(ReadUpdateListTest, DefaultUrlTemplateWithoutFileUrl) {
    list.url_template = L"from an earlier list";
    ASSERT_TRUE(Read(List(R"(<file path="a.dll"/>)")));
    EXPECT_EQ(list.url_template, L"{listurl-base}/{filename}");
}

TEST_P(ReadUpdateListTest, ComFailureShowsTheFormatError) {
    if (Portable()) GTEST_SKIP() << "of the system's DOM alone";
    // A thread without COM cannot create the document: the read fails with the message.
    ScratchDirectory app;
    app.Write(L"novamend.ini", "[UPDATEINFO]\r\nListURL=http://127.0.0.1/list.xml\r\n");
    theApp().settings.SetApplicationDirectory(app.path() + L"\\");
    const std::wstring path = List(R"(<file path="a.dll"/>)");
    bool main_result = true, copy_result = true, missing_result = true;
    std::thread([&] {
        main_result = Read(path, true);
        copy_result = Read(path, false);
        missing_result = Read(folder.File(L"absent.xml"), false);
    }).join();
    EXPECT_FALSE(main_result);
    EXPECT_FALSE(copy_result);
    EXPECT_FALSE(missing_result);
    ASSERT_EQ(errors.size(), 2u);  // none for the missing comparison copy
    EXPECT_EQ(errors[0], L"The xml file format error!\nhttp://127.0.0.1/list.xml");
    EXPECT_EQ(errors[1], L"The xml file format error!\n" + path);
    EXPECT_TRUE(entries.empty());
}

TEST_P(ReadUpdateListTest, HugeAttributes) {
    const std::string long_value(100000, 'x');
    ASSERT_TRUE(Read(
        List("<file path=\"" + long_value + ".dll\" ver=\"" + long_value + "\" dstname=\"" + long_value + "\"/>")));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path.size(), 100004u);
    EXPECT_EQ(entries[0].ver.size(), 100000u);
}

TEST_P(ReadUpdateListTest, FiftyMegabyteList) {
    // 50,000 entries of just over a kilobyte each.
    const std::string padding(1024, 'p');
    std::string body;
    body.reserve(52u * 1024 * 1024);
    for (int i = 0; i < 50000; ++i)
        body += "<file path=\"f" + std::to_string(i) + ".dll\" ver=\"1\" shortcut=\"" + padding + "\"/>";
    ASSERT_GT(body.size(), 50u * 1024 * 1024);
    // Windows' parser reads it whole; Wine's refuses documents this large (it
    // takes about half a minute to say so), and then it is no list. Either
    // way: no crash, no message, no partial list.
    if (Read(List(body))) {
        ASSERT_EQ(entries.size(), 50000u);
        EXPECT_EQ(entries[49999].path, L"f49999.dll");
        EXPECT_EQ(entries[49999].shortcut.size(), 1024u);
    } else {
        EXPECT_TRUE(entries.empty());
    }
    EXPECT_TRUE(errors.empty());
}

TEST_P(ReadUpdateListTest, DeepNestingInAFileNeverCrashes) {
    const int depth = 100000;
    std::string body;
    for (int i = 0; i < depth; ++i) body += "<g>";
    body += R"(<file path="deep.dll"/>)";
    for (int i = 0; i < depth; ++i) body += "</g>";
    // The parser may refuse such depth (then it is no list); when it accepts,
    // the entry at the bottom is read.
    if (Read(List(body))) {
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].path, L"deep.dll");
    } else {
        EXPECT_TRUE(entries.empty());
    }
    EXPECT_TRUE(errors.empty());
}

// The walk itself over a document built in memory, deeper than any parser allows.
TEST_P(ReadUpdateListTest, WalkHandlesVeryDeepTreesAndKeepsOrder) {
    if (Portable()) GTEST_SKIP() << "of the system's DOM alone";
    const std::wstring path = List(R"(<g/>)");
    com_ptr<IXMLDOMDocument> document;
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                             document.put_void())));
    com_ptr<IXMLDOMElement> root;
    ASSERT_TRUE(SUCCEEDED(document->createElement(unique_bstr(L"update").get(), root.put())));
    com_ptr<IXMLDOMNode> bottom;
    ASSERT_TRUE(SUCCEEDED(root->QueryInterface(IID_IXMLDOMNode, bottom.put_void())));
    auto append_file = [&](IXMLDOMNode* parent, const wchar_t* file_path) {
        com_ptr<IXMLDOMElement> file;
        document->createElement(unique_bstr(L"file").get(), file.put());
        file->setAttribute(unique_bstr(L"path").get(), unique_variant(file_path).get());
        com_ptr<IXMLDOMNode> added;
        parent->appendChild(file.get(), added.put());
    };
    append_file(bottom.get(), L"first.dll");
    for (int i = 0; i < 100000; ++i) {
        com_ptr<IXMLDOMElement> group;
        document->createElement(unique_bstr(L"g").get(), group.put());
        com_ptr<IXMLDOMNode> added;
        ASSERT_TRUE(SUCCEEDED(bottom->appendChild(group.get(), added.put())));
        bottom = std::move(added);
    }
    append_file(bottom.get(), L"deepest.dll");
    com_ptr<IXMLDOMNode> root_node;
    root->QueryInterface(IID_IXMLDOMNode, root_node.put_void());
    append_file(root_node.get(), L"last.dll");

    SeenPaths seen;
    ASSERT_TRUE(ReadListNode(root_node.get(), entries, seen, true));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].path, L"first.dll");
    EXPECT_EQ(entries[1].path, L"deepest.dll");
    EXPECT_EQ(entries[2].path, L"last.dll");
}

// What a list reads as, in one text: the read's result, the entries and the
// list's own settings.
std::wstring ReadAs(bool read, const std::vector<updatefileinfo>& entries, const DownLoadList& list) {
    std::wstring out = read ? L"read" : L"no list";
    for (const auto& e : entries)
        out += L"\n[" + e.path + L"|" + e.ver + L"|" + e.url + L"|" + e.dstname + L"|" + e.shortcut + L"|" +
               std::to_wstring(e.flags) + L"]";
    out += L"\nguid " + list.guid + L"\nfileurl " + list.url_template + L"\nserial " + std::to_wstring(list.serial) +
           L"\nexpires " + list.release_control.expires + L"\npaused " + std::to_wstring(list.release_control.paused) +
           L"\nrollout " + std::to_wstring(list.release_control.rollout_percent.value_or(-1));
    for (const auto& [path, sha256] : list.file_hashes) out += L"\nsha256 " + path + L" " + sha256;
    return out;
}

std::string Utf16LeWithMark(std::string_view latin1) {
    std::string bytes = "\xFF\xFE";
    for (const char c : latin1) bytes += {c, '\0'};
    return bytes;
}

// The portable reader accepts what the system's DOM accepts, refuses what it
// refuses, and reads the same texts out of what it accepts.
TEST(PortableListReader, ReadsWhatTheSystemDomReads) {
    com_apartment com;
    ScratchDirectory folder;
    const std::string head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    const std::string documents[] = {
        // texts: white space, character data, references, nested elements
        head + "<update><description>\n  Line one\r\n  line two  \n</description></update>",
        head + "<update><description> a <b>bold</b> c <i> </i> d</description></update>",
        head + "<update><description><![CDATA[ <raw> & ]]> tail</description></update>",
        head + "<update><description>x<!-- gone -->y<?pi z?>w</description></update>",
        head + "<update><description>&lt;&#65;&#x42;&amp;&quot;&apos;&gt;</description><serial>\t7 </serial></update>",
        head + "<update><description>a<![CDATA[]]>b <![CDATA[ x ]]> \r c\rd</description></update>",
        head + "<update><description>   </description><description>a &amp; b</description></update>",
        head + "<update xmlns=\"urn:d\"><\xE3\x83\x95 v='1'/><file path='a' ver='1' /></update>",
        head + "<update><guid> {G} </guid><fileurl> {listurl-base}/v/{filename} </fileurl></update>",
        // attribute values: white space becomes spaces, references do not
        head + "<update><file path=\"a\tb\nc.dll\" ver=\"1&#10;2&#9;3\" url=\"x&amp;y\" shortcut='q\"q'/></update>",
        head + "<update>\r\n<file path=\"a\r\nb.dll\"/>\r</update>",
        // release controls
        head +
            "<update><paused/><expires> 2030-01-01T00:00:00Z </expires><rollout percent=\"25\" user=\"all\"/></update>",
        // encodings
        "\xEF\xBB\xBF" + head + "<update><file path=\"\xC3\xA9t\xC3\xA9.dll\" ver=\"1\"/></update>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><update><file path=\"\xE9t\xE9.dll\"/></update>",
        Utf16LeWithMark("<update><file path=\"\xE9\"/></update>"),
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><update><file path=\"&#x10FFFF;\"/></update>",
        "<?xml version=\"1.0\" encoding=\"utf-16\"?><update/>",  // declares UTF-16 but is not
        "<update><file path=\"\xFF.dll\"/></update>",            // not UTF-8
        "<update><file path=\"\x01.dll\"/></update>",            // no XML character
        // document types and entities
        "<!DOCTYPE update [<!ENTITY v \"2.0\"><!ELEMENT update ANY>]><update><file path=\"a\" ver=\"&v;\"/></update>",
        "<update><file path=\"&undeclared;\"/></update>",
        "<!DOCTYPE update><update><file path=\"a\"/></update>",
        // namespaces
        "<update xmlns:n=\"urn:n\"><n:file path=\"a\"/><file n:path=\"b\" path=\"c\"/></update>",
        "<update xmlns:a=\"u\" xmlns:b=\"u\"><file a:x=\"1\" b:x=\"2\" path=\"c\"/></update>",
        // not well-formed
        "<update><file path=\"a\"/></update><update/>",
        "<update/>trailing",
        " <?xml version=\"1.0\"?><update/>",
        "<update><!-- a -- b --></update>",
        "<update>]]></update>",
        "<update><file path=a/></update>",
        "<update><file path=\"<\"/></update>",
        "<update></Update>",
        "<update>&#0;</update>",
        "<?xml version=\"2.0\"?><update/>",
        // several roots may be named; the first of "update", "updates", "novamend" in that order wins
        "<novamend><update><file path=\"inner\"/></update></novamend>",
    };
    int i = 0;
    for (const std::string& bytes : documents) {
        const std::wstring path = folder.Write(L"list" + std::to_wstring(i++) + L".xml", bytes);
        std::vector<updatefileinfo> system_entries, portable_entries;
        DownLoadList system_list, portable_read_list;
        const bool system_read = ReadUpdateList(path, system_entries, true, system_list, [](const std::wstring&) {});
        const bool portable_read =
            portable_list::ReadUpdateList(bytes, portable_entries, true, portable_read_list).read;
        EXPECT_EQ(ReadAs(portable_read, portable_entries, portable_read_list),
                  ReadAs(system_read, system_entries, system_list))
            << bytes;
    }
    // Prefixes undeclared, or bound to nothing: Windows' parser refuses such
    // a document, Wine's reads it; the portable reader refuses it, so that
    // the native tool never passes what an updater refuses.
    for (const char* bytes : {"<update><n:file path=\"a\"/></update>", "<update xmlns:n=\"\"><file/></update>"}) {
        std::vector<updatefileinfo> entries;
        DownLoadList list;
        EXPECT_FALSE(portable_list::ReadUpdateList(bytes, entries, true, list).read) << bytes;
    }
}

INSTANTIATE_TEST_SUITE_P(BothReaders, ReadUpdateListTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Portable" : "SystemDom"; });

TEST(AddListEntry, NormalisesAndAppends) {
    std::vector<updatefileinfo> entries;
    updatefileinfo e;
    e.path = L" sub|x.dll._.zip";
    e.ver = L" V1 ";
    AddListEntry(e, entries);
    AddListEntry(e, entries);  // no duplicate rule here: that is the reader's
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].path, L"sub\\x.dll");
    EXPECT_EQ(entries[1].ver, L"v1");
}

}  // namespace
}  // namespace nm
