// Help pages: every help context the program raises opens a page beside the built program that
// forwards to a page holding that topic, the pages' links lead to topics, and the application's
// help call opens the right file.
#include "app/help_pages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/movie_app.h"

namespace kx {
namespace {

// The pages as written, in the source tree.
std::filesystem::path SourcePages() {
    return std::filesystem::path(KX_SOURCE_DIR) / "docs" / "help";
}

// The built program's folder and a file in it, as Windows paths.
std::wstring ProgramFolder() {
    return std::filesystem::absolute(KX_PROGRAM_DIR).make_preferred().wstring();
}

std::wstring BesideProgram() {
    return ProgramFolder() + L"\\kinetrix.hlp";
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The values of one attribute of every element of a page, in order.
std::vector<std::string> AttributeValues(const std::string& html, const char* attribute) {
    const std::regex pattern(std::string("\\s") + attribute + "=\"([^\"]*)\"");
    std::vector<std::string> values;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        values.push_back((*it)[1]);
    }
    return values;
}

// The ids of every page of the source pages, by page name.
std::map<std::string, std::set<std::string>> IdsOfPages() {
    std::map<std::string, std::set<std::string>> pages;
    for (const auto& entry : std::filesystem::directory_iterator(SourcePages())) {
        if (entry.path().extension() == ".html") {
            const std::vector<std::string> ids = AttributeValues(ReadFile(entry.path()), "id");
            pages[entry.path().filename().string()] = {ids.begin(), ids.end()};
        }
    }
    return pages;
}

TEST(HelpPagesTest, EveryContextTheProgramRaisesOpensAPageForwardingToItsTopic) {
    std::vector<DWORD> contexts = {
        1,    // help contents in the Help menu
        2,    // logo button of the main window and of the frame settings dialog
        3,    // size grip of the main window
        257,  // About box
    };
    for (DWORD c = 513; c <= 535; ++c) {  // main window, its menu and tool strips; file dialogs
        contexts.push_back(c);
    }
    for (DWORD c = 769; c <= 774; ++c) {  // frame settings dialog and its fields
        contexts.push_back(c);
    }
    const auto pages = IdsOfPages();
    const std::regex forward(
        R"re(http-equiv="refresh" content="0; url=\.\./([a-z]+\.html)#(\d+)")re");
    for (const DWORD context : contexts) {
        const std::wstring file = HelpFileOf(BesideProgram(), context);
        EXPECT_EQ(ProgramFolder() + L"\\help\\topic\\" + std::to_wstring(context) + L".html", file);
        const std::string html = ReadFile(std::filesystem::path(file));
        std::smatch target;
        ASSERT_TRUE(std::regex_search(html, target, forward)) << "no forwarding in: " << html;
        EXPECT_EQ(std::to_string(context), target[2].str());
        const auto found = pages.find(target[1].str());
        ASSERT_NE(pages.end(), found) << "no page " << target[1];
        EXPECT_EQ(1u, found->second.count(std::to_string(context)))
            << target[1] << " has no id=\"" << context << "\"";
    }
}

TEST(HelpPagesTest, LinksLeadToTopicsAndTheContentsLinkEveryTopic) {
    const auto pages = IdsOfPages();
    ASSERT_EQ(1u, pages.count("index.html"));
    std::set<std::string> linkedFromContents;
    for (const auto& [page, ids] : pages) {
        for (const std::string& href : AttributeValues(ReadFile(SourcePages() / page), "href")) {
            const size_t hash = href.find('#');
            const std::string target = hash == 0 ? page : href.substr(0, hash);
            if (target.ends_with(".css")) {
                EXPECT_TRUE(std::filesystem::exists(SourcePages() / target))
                    << page << ": " << href;
                continue;
            }
            const auto found = pages.find(target);
            ASSERT_NE(pages.end(), found) << page << " links to a missing page: " << href;
            if (hash != std::string::npos) {
                EXPECT_EQ(1u, found->second.count(href.substr(hash + 1)))
                    << page << " links to a missing topic: " << href;
            }
            if (page == "index.html") {
                linkedFromContents.insert(target +
                                          (hash == std::string::npos ? "" : href.substr(hash)));
            }
        }
    }
    for (const auto& [page, ids] : pages) {
        for (const std::string& id : ids) {
            if (id.find_first_not_of("0123456789") == std::string::npos && id != "1") {
                EXPECT_EQ(1u, linkedFromContents.count(page + "#" + id))
                    << "the contents do not link topic " << page << "#" << id;
            }
        }
    }
}

TEST(HelpPagesTest, FileOfAContextIsItsForwardingPageOrTheContents) {
    const std::wstring help = ProgramFolder() + L"\\help\\";
    struct Case {
        std::wstring beside;
        DWORD_PTR context;
        std::wstring file;
    };
    const Case cases[] = {
        {BesideProgram(), 513, help + L"topic\\513.html"},
        {BesideProgram(), 1, help + L"topic\\1.html"},
        {ProgramFolder() + L"/kinetrix.hlp", 774, ProgramFolder() + L"/help\\topic\\774.html"},
        // Numbers without a topic open the contents.
        {BesideProgram(), 4, help + L"index.html"},
        {BesideProgram(), 536, help + L"index.html"},
        {BesideProgram(), 0, help + L"index.html"},
        {BesideProgram(), 0x100000201, help + L"index.html"},
        // Without pages the contents are named all the same; the browser says they are missing.
        {L"C:\\Nowhere\\kinetrix.hlp", 513, L"C:\\Nowhere\\help\\index.html"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.file, HelpFileOf(c.beside, c.context)) << c.context;
    }
}

// The program's application object with the browser replaced by a list of the pages it got.
class BrowserlessApp : public CMovieApp {
public:
    std::vector<std::wstring> opened;

protected:
    void OpenHelpPage(const std::wstring& file) override { opened.push_back(file); }
};

TEST(HelpPagesTest, HelpCallOfTheApplicationOpensTopicsAndQuitOpensNothing) {
    struct Case {
        DWORD_PTR data;
        UINT command;
        std::vector<std::wstring> opened;
    };
    const std::wstring topic = ProgramFolder() + L"\\help\\topic\\";
    const Case cases[] = {
        {513, HELP_CONTEXT, {topic + L"513.html"}},
        {771, HELP_CONTEXTPOPUP, {topic + L"771.html"}},
        {257, HELP_CONTEXT, {topic + L"257.html"}},
        {535, HELP_CONTEXT, {topic + L"535.html"}},
        {9999, HELP_CONTEXTPOPUP, {ProgramFolder() + L"\\help\\index.html"}},
        {0, HELP_QUIT, {}},
        {513, HELP_SETCONTENTS, {}},
    };
    for (const Case& c : cases) {
        BrowserlessApp app;
        app.m_helpFilePath = BesideProgram();
        ASSERT_EQ(&app, AfxGetApp());
        AfxGetApp()->WinHelp(c.data, c.command);
        EXPECT_EQ(c.opened, app.opened) << "context " << c.data << ", command " << c.command;
    }
}

}  // namespace
}  // namespace kx
