#pragma once

#include <functional>
#include <memory>

#include "platform/Timing.h"
#include "readers/ReaderLauncherSettings.h"

class QWidget;

namespace kestrel {

class MessageBoxes;
class NoticePresenter;
class SeenMailStore;
class WorkerFactory;
struct ProgramValues;
struct ViewSettings;
class CMainFrame;

// The real workers and popups behind the controller's and the frame's interfaces. Both share
// the mail already read: the mail check counts against it, the popups' mail reader button
// marks it. The workers wait by the timing given (tests scale it down).
std::unique_ptr<WorkerFactory> MakeWorkerFactory(CMainFrame& frame, MessageBoxes& boxes,
                                                 ProgramValues& values,
                                                 std::shared_ptr<SeenMailStore> seen,
                                                 const Timing& timing = ProgramTiming());
// The popups read the reader settings at the moment a button asks for a reader, so a
// change in the environment settings applies to the next click.
std::unique_ptr<NoticePresenter> MakeNoticePresenter(
    MessageBoxes& boxes, std::function<ReaderLauncherSettings()> settings, QWidget* parent,
    std::shared_ptr<SeenMailStore> seen);

}  // namespace kestrel
