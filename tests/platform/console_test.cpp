// The stand-in's message boxes, cursors and wsprintfA.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/hosted/hosted_control.h"

namespace {

// Shows one box answered by `input`; returns the result and what was printed.
std::pair<int, std::string> ShowBox(const std::string& input, UINT style, const char* text = "Text") {
    std::FILE* in = std::tmpfile();
    std::fputs(input.c_str(), in);
    std::rewind(in);
    char* printed = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&printed, &size);
    hosted::SetConsole(in, out);
    const int result = MessageBoxA(nullptr, text, "Quendolin Bildschirmschoner", style);
    hosted::SetConsole(nullptr, nullptr);
    std::fclose(in);
    std::fclose(out);
    std::string console(printed, size);
    std::free(printed);
    return {result, console};
}

TEST(MessageBox, YesNoAnswers) {
    for (const char* yes : {"j\n", "ja\n", "J\n", "JA\n", "y\n", "Yes\n", "  ja \r\n", "yes"})
        EXPECT_EQ(ShowBox(yes, MB_YESNO | MB_ICONQUESTION).first, IDYES) << yes;
    for (const char* no : {"n\n", "nein\n", "\n", "", "jaa\n", "j a\n", "0\n"})
        EXPECT_EQ(ShowBox(no, MB_YESNO | MB_ICONQUESTION).first, IDNO) << no;
}

TEST(MessageBox, OkBoxTakesAnyLineOrTheEnd) {
    EXPECT_EQ(ShowBox("n\n", MB_OK).first, IDOK);
    EXPECT_EQ(ShowBox("", MB_ICONINFORMATION).first, IDOK);
}

TEST(MessageBox, PrintsCaptionTextAndButtonsInUtf8) {
    const auto [result, console] = ShowBox("\n", MB_ICONERROR, "F\xFCr \x80 5\nzweite Zeile");
    EXPECT_NE(console.find("Quendolin Bildschirmschoner"), std::string::npos);
    EXPECT_NE(console.find("Für € 5"), std::string::npos);
    EXPECT_NE(console.find("zweite Zeile"), std::string::npos);
    EXPECT_NE(console.find("[ OK ]"), std::string::npos);
    EXPECT_NE(ShowBox("\n", MB_YESNO).second.find("[ Ja ]  [ Nein ]"), std::string::npos);
}

TEST(Cursor, SetCursorReturnsThePreviousOne) {
    hosted::ResetCursor();
    const HCURSOR arrow = hosted::CurrentCursor();
    const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    ASSERT_NE(wait, nullptr);
    EXPECT_NE(wait, arrow);
    EXPECT_EQ(SetCursor(wait), arrow);
    EXPECT_EQ(hosted::CurrentCursor(), wait);
    EXPECT_EQ(SetCursor(arrow), wait);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
}

TEST(Wsprintf, DirectivesAndTheLimit) {
    char buffer[2048];
    EXPECT_EQ(wsprintfA(buffer, "%s\\%s", "C:\\WINDOWS", "Q.scr"), 16);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\Q.scr");
    wsprintfA(buffer, "[%d|%u|%x|%X|%#x|%5d|%-4s|%05u|%c|%%|%.2s]", -42, 7u, 255u, 255u, 16u, 12, "ab", 42u, 'z', "xyz");
    EXPECT_STREQ(buffer, "[-42|7|ff|FF|0x10|   12|ab  |00042|z|%|xy]");
    const std::string big(3000, 'x');
    EXPECT_EQ(wsprintfA(buffer, "%s", big.c_str()), 1023) << "1024 bytes with the terminating zero";
    EXPECT_EQ(std::string(buffer), big.substr(0, 1023));
}

}  // namespace
