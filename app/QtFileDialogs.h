#pragma once

#include "platform/FileDialogs.h"

// Real file dialogs, over the window that is in front.
class QtFileDialogs final : public kalo::platform::FileDialogs {
public:
    bool Choose(const kalo::platform::FileDialogRequest& request, std::string& path) override;
};
