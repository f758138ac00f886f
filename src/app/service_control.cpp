#include "app/service_control.h"

#include "texts/catalogue.h"

#include <string>

namespace larkspan {
namespace {

using Outcome = ServiceAnswer::Outcome;

// How long a restart leaves the server at least before starting it again, measured from the stop
// command: a server whose stop ends sooner still gets this pause.
constexpr double kRestartPauseSeconds = 5.0;
// How long a command follows its service.
constexpr long long kStartLimitSeconds = 60;
constexpr long long kStopLimitSeconds = 60;
// How long a restart waits for the stop's answer beyond that: the answer comes through the window's
// event loop.
constexpr double kAnswerGraceSeconds = 5.0;

std::string ServiceName(ServiceKind kind)
{
    return std::string(Info(kind).serviceName);
}

} // namespace

ServiceControl::ServiceControl(ServiceManager& services, MessageBoxes& messages, Hooks hooks)
    : m_services(services)
    , m_messages(messages)
    , m_hooks(std::move(hooks))
{
    if (!m_hooks.appendLongLogLine)
        m_hooks.appendLongLogLine = m_hooks.appendLogLine;
}

ServiceControl::~ServiceControl()
{
    *m_alive = false;
}

ServiceControl::Then ServiceControl::Guarded(Then then)
{
    return [alive = m_alive, then = std::move(then)](const ServiceAnswer& answer) {
        if (*alive)
            then(answer);
    };
}

void ServiceControl::LogReason(std::string_view message)
{
    m_hooks.appendLongLogLine(message);
}

void ServiceControl::IssueStart(ServiceKind kind, bool elevated)
{
    if (m_hooks.observer)
        m_hooks.observer->BeforeStart(kind);
    m_hooks.appendLogLine(Info(kind).startingMessage);
    if (m_hooks.observer)
        m_hooks.observer->StartLaunched(kind);
    m_services.Run(ServiceAction::Start, ServiceName(kind), elevated,
        std::chrono::seconds(kStartLimitSeconds),
        Guarded(
            [this, kind, elevated](const ServiceAnswer& answer) { StartAnswered(kind, elevated, answer); }));
}

void ServiceControl::IssueStop(ServiceKind kind, bool elevated, Then then)
{
    m_hooks.appendLogLine(Info(kind).stoppingMessage);
    if (m_hooks.observer)
        m_hooks.observer->StopLaunched(kind);
    m_services.Run(ServiceAction::Stop, ServiceName(kind), elevated, std::chrono::seconds(kStopLimitSeconds),
        Guarded(std::move(then)));
}

bool ServiceControl::OfferElevation(
    std::string_view verb, ServiceKind kind, const ServiceAnswer& answer, bool elevated)
{
    m_hooks.appendLogLine(catalogue::ServiceDeniedLog(verb, ServiceName(kind)));
    if (!elevated && m_services.CanElevate())
        return m_messages.Confirm(catalogue::ConfirmServiceElevation(verb, ServiceName(kind), answer.reason));
    m_messages.Inform(catalogue::ServiceDeniedRemedy(verb, ServiceName(kind), answer.reason));
    return false;
}

void ServiceControl::StartAnswered(ServiceKind kind, bool elevated, const ServiceAnswer& answer)
{
    const std::string_view verb = catalogue::kStartVerb;
    switch (answer.outcome) {
    case Outcome::Done:
        return;
    case Outcome::Denied:
        if (m_hooks.observer)
            m_hooks.observer->StartFailed(kind, false);
        if (OfferElevation(verb, kind, answer, elevated))
            IssueStart(kind, true);
        return;
    case Outcome::Refused:
        if (m_hooks.observer)
            m_hooks.observer->StartFailed(kind, false);
        m_hooks.appendLogLine(catalogue::ServiceNotElevated(verb, ServiceName(kind)));
        return;
    case Outcome::Failed:
        LogReason(catalogue::ServiceFailed(verb, ServiceName(kind), answer.reason));
        if (m_hooks.observer)
            m_hooks.observer->StartFailed(kind, true);
        return;
    case Outcome::TimedOut:
        m_hooks.appendLogLine(catalogue::ServiceTimedOut(verb, ServiceName(kind), kStartLimitSeconds));
        return;
    }
}

void ServiceControl::StopAnswered(ServiceKind kind, bool elevated, const ServiceAnswer& answer)
{
    const std::string_view verb = catalogue::kStopVerb;
    switch (answer.outcome) {
    case Outcome::Done:
        return;
    case Outcome::Denied:
        if (OfferElevation(verb, kind, answer, elevated))
            IssueStop(
                kind, true, [this, kind](const ServiceAnswer& again) { StopAnswered(kind, true, again); });
        return;
    case Outcome::Refused:
        m_hooks.appendLogLine(catalogue::ServiceNotElevated(verb, ServiceName(kind)));
        return;
    case Outcome::Failed:
        LogReason(catalogue::ServiceFailed(verb, ServiceName(kind), answer.reason));
        return;
    case Outcome::TimedOut:
        m_hooks.appendLogLine(catalogue::ServiceTimedOut(verb, ServiceName(kind), kStopLimitSeconds));
        return;
    }
}

void ServiceControl::Start(ServiceKind kind)
{
    IssueStart(kind, false);
}

void ServiceControl::Stop(ServiceKind kind)
{
    IssueStop(kind, false, [this, kind](const ServiceAnswer& answer) { StopAnswered(kind, false, answer); });
}

std::optional<ServiceAnswer> ServiceControl::StopForRestart(ServiceKind kind, bool elevated)
{
    auto answered = std::make_shared<std::optional<ServiceAnswer>>();
    const double stopIssued = m_hooks.now();
    IssueStop(kind, elevated, [answered](const ServiceAnswer& answer) { *answered = answer; });
    // The window stays responsive: timer ticks and other commands run inside the pause.
    for (;;) {
        m_hooks.processEventsOnce();
        const double elapsed = m_hooks.now() - stopIssued;
        // A stop that did not happen ends the restart at once; one that did, after the pause.
        if (*answered ? (*answered)->outcome != Outcome::Done || elapsed >= kRestartPauseSeconds
                      : elapsed >= kStopLimitSeconds + kAnswerGraceSeconds)
            break;
    }
    return *answered;
}

void ServiceControl::Restart(ServiceKind kind)
{
    const std::string name = ServiceName(kind);
    bool elevated = false;
    for (;;) {
        const std::optional<ServiceAnswer> stopped = StopForRestart(kind, elevated);
        const Outcome outcome = stopped ? stopped->outcome : Outcome::TimedOut;
        if (outcome == Outcome::Done)
            break;
        switch (outcome) {
        case Outcome::Denied:
            // One question for the whole restart; the start then runs as administrator too.
            if (!OfferElevation(catalogue::kRestartVerb, kind, *stopped, elevated))
                return;
            elevated = true;
            continue;
        case Outcome::Refused:
            m_hooks.appendLogLine(catalogue::ServiceNotElevated(catalogue::kRestartVerb, name));
            return;
        case Outcome::Failed:
            LogReason(catalogue::RestartAbandoned(name, stopped->reason));
            return;
        default:
            LogReason(catalogue::RestartAbandoned(
                name, catalogue::NotFinishedWithin(catalogue::kStopVerb, kStopLimitSeconds)));
            return;
        }
    }
    IssueStart(kind, elevated);
}

} // namespace larkspan
