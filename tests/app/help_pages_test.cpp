// Help pages: every help context the program raises opens a page beside the built program that
// forwards to a page holding that topic, and the application's help call opens the right file.
#include "app/help_pages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/movie_app.h"

namespace kx {
namespace {

// The built program's folder, as a Windows path.
std::wstring ProgramFolder() {
    return std::filesystem::absolute(KX_PROGRAM_DIR).make_preferred().wstring();
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HelpPagesTest, EveryContextTheProgramRaisesOpensAPageForwardingToItsTopic) {
    // Help contents, logo buttons, size grip, About box; the main window, its menu and strips
    // and the file dialogs; the frame settings dialog and its fields.
    std::vector<DWORD> contexts = {1, 2, 3, 257};
    for (DWORD c = 513; c <= 535; ++c) {
        contexts.push_back(c);
    }
    for (DWORD c = 769; c <= 774; ++c) {
        contexts.push_back(c);
    }
    const std::regex forward(
        R"re(http-equiv="refresh" content="0; url=\.\./([a-z]+\.html)#(\d+)")re");
    for (const DWORD context : contexts) {
        SCOPED_TRACE(context);
        const std::wstring file = HelpFileOf(ProgramFolder() + L"\\kinetrix.hlp", context);
        EXPECT_EQ(ProgramFolder() + L"\\help\\topic\\" + std::to_wstring(context) + L".html", file);
        const std::string html = ReadFile(std::filesystem::path(file));
        std::smatch target;
        ASSERT_TRUE(std::regex_search(html, target, forward)) << "no forwarding in: " << html;
        EXPECT_EQ(std::to_string(context), target[2].str());
        const std::string page =
            ReadFile(std::filesystem::path(KX_SOURCE_DIR) / "docs" / "help" / target[1].str());
        EXPECT_NE(std::string::npos, page.find(" id=\"" + std::to_string(context) + "\""))
            << target[1] << " has no id=\"" << context << "\"";
    }
}

// The program's application object with the browser replaced by a list of the pages it got.
class BrowserlessApp : public CMovieApp {
public:
    std::vector<std::wstring> opened;

protected:
    void OpenHelpPage(const std::wstring& file) override { opened.push_back(file); }
};

TEST(HelpPagesTest, HelpCallOfTheApplicationOpensTopicsOrTheContents) {
    const std::wstring beside = ProgramFolder() + L"\\kinetrix.hlp";
    const std::wstring help = ProgramFolder() + L"\\help\\";
    const std::wstring slashed = ProgramFolder() + L"/kinetrix.hlp";
    struct Case {
        std::wstring helpFile;
        DWORD_PTR data;
        UINT command;
        std::vector<std::wstring> opened;
    };
    const Case cases[] = {
        {beside, 513, HELP_CONTEXT, {help + L"topic\\513.html"}},
        {beside, 771, HELP_CONTEXTPOPUP, {help + L"topic\\771.html"}},
        {slashed, 774, HELP_CONTEXT, {ProgramFolder() + L"/help\\topic\\774.html"}},
        // Numbers without a topic open the contents.
        {beside, 4, HELP_CONTEXTPOPUP, {help + L"index.html"}},
        {beside, 0x100000201, HELP_CONTEXT, {help + L"index.html"}},
        // Without pages the contents are named all the same; the browser says they are missing.
        {L"C:\\Nowhere\\kinetrix.hlp", 513, HELP_CONTEXT, {L"C:\\Nowhere\\help\\index.html"}},
        {beside, 513, HELP_QUIT, {}},
    };
    for (const Case& c : cases) {
        BrowserlessApp app;
        app.m_helpFilePath = c.helpFile;
        AfxGetApp()->WinHelp(c.data, c.command);
        EXPECT_EQ(c.opened, app.opened) << "context " << c.data << ", command " << c.command;
    }
}

}  // namespace
}  // namespace kx
