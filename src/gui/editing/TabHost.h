#pragma once

#include <string>

#include "storage/Records.h"

namespace twk::gui {

// What the tab pages ask of the window that holds them (the main window).
class CTabHost {
public:
    virtual ~CTabHost() = default;

    // The profile selected on the Message page: its id and name, or -1 and empty.
    virtual int GetCurrentProfile(std::wstring& name) = 0;
    // The message shown on the Message page, the one the Submit page submits; its id is
    // -1 while it is new and unsaved.
    virtual const MessageRecord& CurrentMessage() = 0;
    // Moves the user to the other page.
    virtual void ShowNextPage() = 0;
    // Refresh(what) on the Message page and then on the Submit page.
    virtual void RefreshPages(int what) = 0;
};

}  // namespace twk::gui
