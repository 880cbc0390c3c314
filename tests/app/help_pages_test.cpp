// Help pages: every help context the program raises has its topic on the page its URL names, the
// pages' links lead to topics, and the application's help call opens the right URL.
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

std::filesystem::path HelpFolder() {
    return std::filesystem::path(KX_SOURCE_DIR) / "docs" / "help";
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

// The ids of every page of the help folder, by page name.
std::map<std::string, std::set<std::string>> IdsOfPages() {
    std::map<std::string, std::set<std::string>> pages;
    for (const auto& entry : std::filesystem::directory_iterator(HelpFolder())) {
        if (entry.path().extension() == ".html") {
            const std::vector<std::string> ids = AttributeValues(ReadFile(entry.path()), "id");
            pages[entry.path().filename().string()] = {ids.begin(), ids.end()};
        }
    }
    return pages;
}

std::string Narrow(const std::wstring& ascii) {
    return {ascii.begin(), ascii.end()};
}

TEST(HelpPagesTest, EveryContextTheProgramRaisesHasItsTopicOnThePageOfItsUrl) {
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
    for (const DWORD context : contexts) {
        const std::string url = Narrow(HelpTopicUrl(L"C:\\Kinetrix\\kinetrix.hlp", context));
        const size_t hash = url.find('#');
        const size_t slash = url.find_last_of('/', hash);
        ASSERT_NE(std::string::npos, hash) << url;
        const std::string page = url.substr(slash + 1, hash - slash - 1);
        const std::string anchor = url.substr(hash + 1);
        EXPECT_EQ(std::to_string(context), anchor) << url;
        const auto found = pages.find(page);
        ASSERT_NE(pages.end(), found) << "no page " << page << " for " << url;
        EXPECT_EQ(1u, found->second.count(anchor)) << page << " has no id=\"" << anchor << "\"";
    }
}

TEST(HelpPagesTest, LinksLeadToTopicsAndTheContentsLinkEveryTopic) {
    const auto pages = IdsOfPages();
    ASSERT_EQ(1u, pages.count("index.html"));
    std::set<std::string> linkedFromContents;
    for (const auto& [page, ids] : pages) {
        for (const std::string& href : AttributeValues(ReadFile(HelpFolder() / page), "href")) {
            const size_t hash = href.find('#');
            const std::string target = hash == 0 ? page : href.substr(0, hash);
            const auto found = pages.find(target);
            if (target.ends_with(".css")) {
                EXPECT_TRUE(std::filesystem::exists(HelpFolder() / target)) << page << ": " << href;
                continue;
            }
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

TEST(HelpPagesTest, TopicUrlIsTheFileUrlOfThePageBesideTheProgram) {
    struct Case {
        const wchar_t* beside;
        DWORD context;
        const wchar_t* url;
    };
    const Case cases[] = {
        {L"C:\\Kinetrix\\kinetrix.hlp", 513, L"file:///C:/Kinetrix/help/main.html#513"},
        {L"C:\\Program Files\\Kinetrix 2\\kinetrix.hlp", 769,
         L"file:///C:/Program%20Files/Kinetrix%202/help/frame.html#769"},
        {L"D:\\\x30A2\x30CB\x30E1\\kinetrix.hlp", 1,
         L"file:///D:/%E3%82%A2%E3%83%8B%E3%83%A1/help/index.html#1"},
        {L"\\\\server\\tools\\kinetrix.hlp", 534, L"file://server/tools/help/files.html#534"},
        {L"C:\\a#b%c\\kinetrix.hlp", 257, L"file:///C:/a%23b%25c/help/about.html#257"},
        {L"C:\\Kinetrix\\kinetrix.hlp", 3, L"file:///C:/Kinetrix/help/main.html#3"},
        // Numbers without a topic open the contents at their top.
        {L"C:\\Kinetrix\\kinetrix.hlp", 4, L"file:///C:/Kinetrix/help/index.html"},
        {L"C:\\Kinetrix\\kinetrix.hlp", 536, L"file:///C:/Kinetrix/help/index.html"},
        {L"C:\\Kinetrix\\kinetrix.hlp", 0, L"file:///C:/Kinetrix/help/index.html"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.url), HelpTopicUrl(c.beside, c.context)) << c.context;
    }
}

TEST(HelpPagesTest, BrowserCommandLinePutsTheUrlWhereTheHandlerWantsIt) {
    const std::wstring url = L"file:///C:/K/help/main.html#513";
    struct Case {
        const wchar_t* handler;
        std::wstring line;
    };
    const Case cases[] = {
        {L"\"C:\\windows\\system32\\winebrowser.exe\" \"%1\"",
         L"\"C:\\windows\\system32\\winebrowser.exe\" \"" + url + L"\""},
        {L"\"C:\\Web\\browser.exe\" -osint -url \"%1\"",
         L"\"C:\\Web\\browser.exe\" -osint -url \"" + url + L"\""},
        {L"\"C:\\Web\\browser.exe\" --single-argument %L",
         L"\"C:\\Web\\browser.exe\" --single-argument " + url},
        {L"\"C:\\Web\\browser.exe\" \"%l\" %*", L"\"C:\\Web\\browser.exe\" \"" + url + L"\" "},
        {L"C:\\Web\\browser.exe", L"C:\\Web\\browser.exe \"" + url + L"\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.line, BrowserCommandLine(c.handler, url)) << c.handler;
    }
}

// The program's application object with the browser replaced by a list of the URLs it got.
class BrowserlessApp : public CMovieApp {
public:
    std::vector<std::wstring> opened;

protected:
    void OpenHelpPage(const std::wstring& url) override { opened.push_back(url); }
};

TEST(HelpPagesTest, HelpCallOfTheApplicationOpensTopicsAndQuitOpensNothing) {
    struct Case {
        DWORD_PTR data;
        UINT command;
        std::vector<std::wstring> opened;
    };
    const Case cases[] = {
        {513, HELP_CONTEXT, {L"file:///C:/Kinetrix/help/main.html#513"}},
        {771, HELP_CONTEXTPOPUP, {L"file:///C:/Kinetrix/help/frame.html#771"}},
        {257, HELP_CONTEXT, {L"file:///C:/Kinetrix/help/about.html#257"}},
        {535, HELP_CONTEXT, {L"file:///C:/Kinetrix/help/files.html#535"}},
        {0, HELP_QUIT, {}},
    };
    for (const Case& c : cases) {
        BrowserlessApp app;
        app.m_helpFilePath = L"C:\\Kinetrix\\kinetrix.hlp";
        ASSERT_EQ(&app, AfxGetApp());
        AfxGetApp()->WinHelp(c.data, c.command);
        EXPECT_EQ(c.opened, app.opened) << "context " << c.data << ", command " << c.command;
    }
}

}  // namespace
}  // namespace kx
