// The product texts and WindowsPath.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "installer/texts.h"
#include "tests/support/product.h"

namespace {

using testing_support::ProductName;

std::size_t CountLines(const std::string& text) {
    std::size_t lines = 1;
    for (char c : text) lines += c == '\n';
    return lines;
}

TEST(ProductTexts, AreFormattedFromTheProductName) {
    BuildTexts();
    const std::string name = ProductName();
    EXPECT_EQ(g_captionText, name + " Bildschirmschoner");
    EXPECT_EQ(g_packedName, name + ".SC_");
    EXPECT_EQ(g_saverName, name + ".scr");
    EXPECT_EQ(g_installQuestion, "Soll der " + name + " Bildschirmschoner installiert werden?");
    EXPECT_EQ(g_registerQuestion, "Den " + name + " Bildschirmschoner als aktiven Bildschirmschoner anmelden?");

    const std::string welcome = g_welcomeText;
    EXPECT_EQ(welcome.size(), 409u - 4 + 2 * name.size()) << "a 409-byte format with the name twice";
    EXPECT_EQ(CountLines(welcome), 14u);
    EXPECT_EQ(welcome.find("Herzlich Willkommen beim\n" + name + " Bildschirmschoner!\n\nDer " + name +
                           " Bildschirmschoner darf\n"),
              0u);
    EXPECT_NE(welcome.find("\nF\xFCr Programmfehler und daraus entstehende\nFolgen wird keine Haftung \xFC" "bernommen.\n\n"),
              std::string::npos) << "code page 1252, LF only";
    EXPECT_EQ(welcome.find('\r'), std::string::npos);
    EXPECT_NE(welcome.back(), '\n');
}

TEST(WindowsPath, JoinsWithOneBackslashIntoTheChosenBuffer) {
    setenv("WINDIR", "/srv/win", 1);
    const char* first = WindowsPath("Quendolin.scr", kFirstPath);
    const char* second = WindowsPath("Quendolin.SC_", kSecondPath);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(first, "/srv/win\\Quendolin.scr") << "the second call must not overwrite the first";
    EXPECT_STREQ(second, "/srv/win\\Quendolin.SC_");

    setenv("WINDIR", "/", 1);  // a root keeps its separator and gets a backslash as well
    EXPECT_STREQ(WindowsPath("Quendolin.scr", kFirstPath), "/\\Quendolin.scr");
}

TEST(WindowsPath, RefusesPathsBeyond259Characters) {
    const std::string directory = "/" + std::string(244, 'd');  // 245 + 1 + 13 = 259: fits
    setenv("WINDIR", directory.c_str(), 1);
    const char* fits = WindowsPath("Quendolin.scr", kFirstPath);
    ASSERT_NE(fits, nullptr);
    EXPECT_EQ(std::string(fits).size(), 259u);
    EXPECT_EQ(WindowsPath("Quendolin.scrx", kFirstPath), nullptr);
    setenv("WINDIR", ("/" + std::string(300, 'd')).c_str(), 1);
    EXPECT_EQ(WindowsPath("Quendolin.scr", kFirstPath), nullptr);
}

}  // namespace
