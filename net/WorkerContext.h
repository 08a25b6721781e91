#pragma once

class QObject;

namespace kestrel {

class LogSink;
class MessageBoxes;

// What a worker window needs of the program: the main frame (its results are posted there
// as WM_UNREAD_MAIL / WM_NEW_NEWS), the event log and the message boxes.
struct WorkerContext {
    QObject* frame = nullptr;
    LogSink* log = nullptr;
    MessageBoxes* boxes = nullptr;
};

}  // namespace kestrel
