#include "core/eventboundary.h"

#include "core/dialogs.h"
#include "core/exceptions.h"

#include <QLoggingCategory>
#include <QObject>
#include <QThread>

#include <vector>

Q_LOGGING_CATEGORY(lcHostBoundary, "caleprodu.host")

namespace host {

namespace {

// Event-loop levels at which a guarded handler is running. A modal box or a local wait loop opened
// by a handler raises the level, so handlers started from there are boundaries of their own.
std::vector<int> &activeLevels()
{
    static std::vector<int> levels;
    return levels;
}

int currentLoopLevel()
{
    return QThread::currentThread()->loopLevel();
}

struct LevelScope
{
    explicit LevelScope(int level) { activeLevels().push_back(level); }
    ~LevelScope() { activeLevels().pop_back(); }
    LevelScope(const LevelScope &) = delete;
    LevelScope &operator=(const LevelScope &) = delete;
};

// True while a guarded handler runs at the current event-loop level.
bool inHandler()
{
    const auto &levels = activeLevels();
    return !levels.empty() && levels.back() == currentLoopLevel();
}

} // namespace

bool guard(QObject *context, const std::function<void()> &handler)
{
    if (!handler)
        return true;
    if (inHandler()) {
        handler();
        return true;
    }

    QString failure;
    {
        LevelScope scope(currentLoopLevel());
        try {
            handler();
            return true;
        } catch (const EAbort &) {
            return false;
        } catch (const Exception &e) {
            failure = e.Message();
        } catch (const std::exception &e) {
            failure = QString::fromLocal8Bit(e.what());
        } catch (...) {
            failure = QStringLiteral("Erro inesperado.");
        }
    }
    qCWarning(lcHostBoundary) << "handler of" << (context ? context->objectName() : QString())
                              << "failed:" << failure;
    // The box opens after the handler's scope is gone: its own events start fresh boundaries.
    ShowError(failure);
    return false;
}

} // namespace host
