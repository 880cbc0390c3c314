// Help pages: the application's help call opens, for every help context the program names, a page
// beside the built program that forwards to a page holding that topic.
#include "app/help_pages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/movie_app.h"
#include "support/build_paths.h"
#include "support/source_dir.h"

namespace kx {
namespace {

// The built program's folder, as a Windows path.
std::wstring ProgramFolder() {
    return std::filesystem::absolute(test::BuildPath("program-dir")).make_preferred().wstring();
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The program's application object with the browser replaced by a list of the pages it got.
class BrowserlessApp : public CMovieApp {
public:
    std::vector<std::wstring> opened;

protected:
    void OpenHelpPage(const std::wstring& file) override { opened.push_back(file); }
};

TEST(HelpPagesTest, EveryNamedContextOpensAPageForwardingToItsTopic) {
    // Every help context the program names, as resource.h defines them.
    std::vector<DWORD> contexts;
    const std::string ids = ReadFile(kx::test::SourceDir() / "src" / "resources" / "resource.h");
    const std::regex define(R"re(#define IDH_\w+ (\d+))re");
    for (auto it = std::sregex_iterator(ids.begin(), ids.end(), define);
         it != std::sregex_iterator(); ++it) {
        contexts.push_back(static_cast<DWORD>(std::stoul((*it)[1].str())));
    }
    ASSERT_LE(30u, contexts.size()) << "help contexts not found in resource.h";
    const std::regex forward(
        R"re(http-equiv="refresh" content="0; url=\.\./([a-z]+\.html)#(\d+)")re");
    const std::wstring help = ProgramFolder() + L"\\help\\";
    BrowserlessApp app;
    app.m_helpFilePath = ProgramFolder() + L"\\kinetrix.hlp";
    for (const DWORD context : contexts) {
        SCOPED_TRACE(context);
        app.opened.clear();
        AfxGetApp()->WinHelp(context, context % 2 ? HELP_CONTEXT : HELP_CONTEXTPOPUP);
        ASSERT_EQ(1u, app.opened.size());
        EXPECT_EQ(help + L"topic\\" + std::to_wstring(context) + L".html", app.opened[0]);
        const std::string html = ReadFile(std::filesystem::path(app.opened[0]));
        std::smatch target;
        ASSERT_TRUE(std::regex_search(html, target, forward)) << "no forwarding in: " << html;
        EXPECT_EQ(std::to_string(context), target[2].str());
        const std::string page =
            ReadFile(kx::test::SourceDir() / "docs" / "help" / target[1].str());
        EXPECT_NE(std::string::npos, page.find(" id=\"" + std::to_string(context) + "\""))
            << target[1] << " has no id=\"" << context << "\"";
    }
    // Numbers without a topic (513 in the low half only) open the contents; quitting opens none.
    app.opened.clear();
    for (DWORD_PTR data : {DWORD_PTR(4), DWORD_PTR(0x100000201)}) {
        AfxGetApp()->WinHelp(data, HELP_CONTEXT);
    }
    AfxGetApp()->WinHelp(513, HELP_QUIT);
    EXPECT_EQ((std::vector<std::wstring>{help + L"index.html", help + L"index.html"}), app.opened);
}

}  // namespace
}  // namespace kx
