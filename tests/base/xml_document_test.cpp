// portable: builds without Win32
#include "base/xml_document.h"

#include <gtest/gtest.h>

#include <string>

namespace nm {
namespace {

// What the portable reader does beyond what the system's DOM is compared
// with (in the list reader's tests): hostile documents, and the copy on disk
// that loses an element.
TEST(XmlDocument, HostileDocumentsAreReadOrRefusedWithoutHarm) {
    xml::Document document;
    std::string error;
    // No document type: no entities that multiply, nothing fetched.
    EXPECT_FALSE(document.Parse("<!DOCTYPE d [<!ENTITY a \"aaaa\">]><d>&a;</d>", error));
    EXPECT_FALSE(document.Parse("<!DOCTYPE d SYSTEM \"http://127.0.0.1/d.dtd\"><d/>", error));
    EXPECT_FALSE(document.Parse("<d>&#xD800;</d>", error));
    EXPECT_FALSE(document.Parse("<d>\xED\xA0\x80</d>", error));  // a surrogate in UTF-8
    EXPECT_NE(error.find("offset 3"), std::string::npos) << error;

    // Depth costs memory, not the call stack.
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "<g>";
    deep += "text";
    for (int i = 0; i < 200000; ++i) deep += "</g>";
    ASSERT_TRUE(document.Parse(deep, error)) << error;
    EXPECT_EQ(document.Text(document.Root()), L"text");
}

TEST(XmlDocument, AFileLosesOneElementAndKeepsEveryOtherByte) {
    xml::Document document;
    std::string error;
    const std::string file =
        "\xEF\xBB\xBF<?xml version='1.0'?>\r\n<update>\r\n <guid>{G}</guid>\r\n <x a='\xC3\xA9'/></update>";
    ASSERT_TRUE(document.Parse(file, error)) << error;
    const std::int32_t guid = document.NextSibling(document.FirstChild(document.Root()));
    ASSERT_EQ(document.Name(guid), L"guid");
    EXPECT_EQ(document.FileWithout(guid),
              "\xEF\xBB\xBF<?xml version='1.0'?>\r\n<update>\r\n \r\n <x a='\xC3\xA9'/></update>");
    // A file in another encoding is not rewritten.
    static const char utf16[] = "\xFE\xFF\0<\0d\0>\0<\0g\0/\0>\0<\0/\0d\0>";
    ASSERT_TRUE(document.Parse(std::string(utf16, sizeof utf16 - 1), error)) << error;
    EXPECT_FALSE(document.FileWithout(document.FirstChild(document.Root())));
}

}  // namespace
}  // namespace nm
