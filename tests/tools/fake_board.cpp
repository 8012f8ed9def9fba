// fake_board: serves one of the test fake forums on 127.0.0.1 until it is interrupted, so
// that the desktop program and twk can be tried by hand without a real board.
//
//   fake_board [phpBB3|phpBB2|IPBoard2|IPBoard3|IPBoard34|vBulletin3|vBulletin4|MyBB|SMF|
//   NodeBB|Discourse] [utf-8|windows-1251]
//
// MyBB, SMF 2.1, NodeBB and Discourse boards speak UTF-8 only; they ignore the charset.
#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "support/FakeDiscourse.h"
#include "support/FakeIPBoard.h"
#include "support/FakeMyBB.h"
#include "support/FakeNodeBB.h"
#include "support/FakePhpBB.h"
#include "support/FakeSMF.h"
#include "support/FakeVBulletin.h"
#include "text/Unicode.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

struct Board {
    std::unique_ptr<twk::test::FakeForum> forum;
    std::wstring main_url;
    std::wstring login;
    std::wstring password;
    std::string script;
};

bool MakeBoard(const std::string& kind, uint32_t codePage, Board& board) {
    using namespace twk::test;
    if (kind == "phpBB3" || kind == "phpBB2") {
        auto fake = std::make_unique<FakePhpBB>(kind == "phpBB3" ? 3 : 2, codePage);
        board = {nullptr, fake->MainUrl(), FakePhpBB::kLogin, FakePhpBB::kPassword, "phpBB"};
        board.forum = std::move(fake);
        return true;
    }
    if (kind == "IPBoard2" || kind == "IPBoard3" || kind == "IPBoard34") {
        IPBoardGeneration generation = kind == "IPBoard2"   ? IPBoardGeneration::k2
                                       : kind == "IPBoard3" ? IPBoardGeneration::k3
                                                            : IPBoardGeneration::k34;
        auto fake = std::make_unique<FakeIPBoard>(generation, codePage);
        board = {nullptr, fake->MainUrl(), FakeIPBoard::kLogin, FakeIPBoard::kPassword, "IPBoard"};
        board.forum = std::move(fake);
        return true;
    }
    if (kind == "vBulletin3" || kind == "vBulletin4") {
        auto fake = std::make_unique<FakeVBulletin>(kind == "vBulletin3" ? 3 : 4, codePage);
        board = {nullptr, fake->MainUrl(), FakeVBulletin::kLogin, FakeVBulletin::kPassword,
                 "vBulletin"};
        board.forum = std::move(fake);
        return true;
    }
    if (kind == "SMF") {
        auto fake = std::make_unique<FakeSMF>();
        board = {nullptr, fake->MainUrl(), FakeSMF::kLogin, FakeSMF::kPassword, "SMF"};
        board.forum = std::move(fake);
        return true;
    }
    if (kind == "MyBB") {
        auto fake = std::make_unique<FakeMyBB>();
        board = {nullptr, fake->MainUrl(), FakeMyBB::kLogin, FakeMyBB::kPassword, "MyBB"};
        board.forum = std::move(fake);
        return true;
    }
    if (kind == "NodeBB") {
        auto fake = std::make_unique<FakeNodeBB>();
        board = {nullptr, fake->MainUrl(), FakeNodeBB::kLogin, FakeNodeBB::kPassword, "NodeBB"};
        board.forum = std::move(fake);
        return true;
    }
    if (kind == "Discourse") {
        auto fake = std::make_unique<FakeDiscourse>();
        board = {nullptr, fake->MainUrl(), FakeDiscourse::kLogin, FakeDiscourse::kPassword,
                 "Discourse"};
        board.forum = std::move(fake);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string kind = argc > 1 ? argv[1] : "phpBB3";
    std::string charset = argc > 2 ? argv[2] : "utf-8";
    uint32_t code_page = charset == "windows-1251" ? twk::kCodePageWindows1251 : twk::kCodePageUtf8;
    Board board;
    if (!MakeBoard(kind, code_page, board)) {
        std::cerr << "Usage: fake_board [phpBB3|phpBB2|IPBoard2|IPBoard3|IPBoard34|vBulletin3|"
                     "vBulletin4|MyBB|SMF|NodeBB|Discourse] [utf-8|windows-1251]\n";
        return 64;
    }
    std::cout << "Script:   " << board.script << "\n"
              << "Main URL: " << twk::WideToUtf8(board.main_url) << "\n"
              << "Login:    " << twk::WideToUtf8(board.login) << "\n"
              << "Password: " << twk::WideToUtf8(board.password) << "\n"
              << "Serving until Ctrl-C." << std::endl;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    for (const auto& topic : board.forum->Topics()) {
        std::cout << "Topic " << topic.id << ": " << twk::WideToUtf8(topic.subject) << "\n";
    }
    return 0;
}
