#pragma once

#include "ui/NewsNoticeDlg.h"

namespace kestrel {

// Popup 137: only news is pending.
class CNewsNoticeDlg final : public NewsNoticeDlg {
public:
    explicit CNewsNoticeDlg(ReaderLauncher& launcher, QWidget* parent = nullptr);
};

}  // namespace kestrel
