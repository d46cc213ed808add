#include "ServerMetrics.h"

#include "DispatchCycle.h"

#include <QDateTime>
#include <QHostAddress>

#include <CivetServer.h>
#include <prometheus/collectable.h>
#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

namespace {

using prometheus::Counter;
using prometheus::Gauge;
using prometheus::Histogram;

// The final statuses a text can take, and what a pass can leave its rows as.
const char* const kFinalStatuses[] = {"Sent", "DelSent", "Deleted", "Discarded", "Invalid"};
const char* const kPassOutcomes[] = {"Sent", "DelSent", "Deleted", "Queued"};
// Gateway pages by their file names.
const std::map<QString, std::string> kPages = {{QStringLiteral("quaylinkchk.asp"), "check"},
                                               {QStringLiteral("logonchk.asp"), "login"},
                                               {QStringLiteral("postdatazsm.asp"), "chunk"},
                                               {QStringLiteral("debit.asp"), "debit"}};

// Everything but GET /metrics is answered here, before prometheus-cpp sees it.
int refuseOtherRequests(mg_connection* connection)
{
    const mg_request_info* request = mg_get_request_info(connection);
    const char* path = request->local_uri ? request->local_uri : "";
    if (std::strcmp(path, "/metrics") != 0) {
        mg_printf(connection, "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n"
                              "Connection: close\r\n\r\nNot Found\n");
        return 404;
    }
    if (std::strcmp(request->request_method, "GET") != 0) {
        mg_printf(connection, "HTTP/1.1 405 Method Not Allowed\r\nAllow: GET\r\nContent-Type: text/plain\r\n"
                              "Content-Length: 19\r\nConnection: close\r\n\r\nMethod Not Allowed\n");
        return 405;
    }
    return 0;
}

int keepQuiet(const mg_connection*, const char*)
{
    return 1;
}

/// Computed as it is scraped: a stored figure would only be as fresh as the last event.
class SinceLastSuccess : public prometheus::Collectable
{
public:
    std::vector<prometheus::MetricFamily> Collect() const override
    {
        const qint64 last = m_lastMs.load();
        prometheus::ClientMetric metric;
        metric.gauge.value = last == 0 ? std::numeric_limits<double>::quiet_NaN()
                                       : double(QDateTime::currentMSecsSinceEpoch() - last) / 1000.0;
        return {{"quaylink_seconds_since_last_successful_pass",
                 "Seconds since a pass last ended with its texts Sent (NaN before the first)",
                 prometheus::MetricType::Gauge,
                 {metric}}};
    }

    void succeeded() { m_lastMs = QDateTime::currentMSecsSinceEpoch(); }

private:
    std::atomic<qint64> m_lastMs{0};
};

} // namespace

struct ServerMetrics::Figures
{
    std::shared_ptr<prometheus::Registry> registry = std::make_shared<prometheus::Registry>();
    std::shared_ptr<SinceLastSuccess> sinceLastSuccess = std::make_shared<SinceLastSuccess>();
    std::map<QString, Counter*> texts;
    std::map<QString, Counter*> passes;
    Histogram* passDuration = nullptr;
    prometheus::Family<Histogram>* requestFamily = nullptr;
    std::map<std::string, Histogram*> requests;
    Gauge* queued = nullptr;
    Gauge* read = nullptr;
    Gauge* balance = nullptr;
    Gauge* storeConnected = nullptr;
    Gauge* gatewayConnected = nullptr;
    Gauge* holdsLock = nullptr;
    std::unique_ptr<prometheus::Exposer> exposer;
    QString url;

    Histogram& request(const std::string& page)
    {
        auto found = requests.find(page);
        if (found == requests.end())
            found =
                requests
                    .emplace(page, &requestFamily->Add({{"page", page}},
                                                       Histogram::BucketBoundaries{0.01, 0.05, 0.1, 0.25, 0.5,
                                                                                   1, 2.5, 5, 10, 30, 60}))
                    .first;
        return *found->second;
    }
};

QString ServerMetrics::listeningAddress(const QString& option, QString* error)
{
    QString host = QStringLiteral("127.0.0.1");
    QString port = option;
    const qsizetype colon = option.lastIndexOf(u':');
    if (colon >= 0) {
        host = option.left(colon);
        port = option.mid(colon + 1);
    }
    const bool bracketed = host.startsWith(u'[') && host.endsWith(u']');
    QHostAddress address;
    bool portOk = false;
    const uint number = port.toUInt(&portOk);
    if (!address.setAddress(bracketed ? host.mid(1, host.size() - 2) : host) ||
        (address.protocol() == QAbstractSocket::IPv6Protocol) != bracketed || !portOk || number > 65535) {
        *error =
            QStringLiteral("--metrics takes ADDRESS:PORT with an IP address, e.g. 127.0.0.1:9100, not '%1'")
                .arg(option);
        return {};
    }
    return host + u':' + QString::number(number);
}

std::unique_ptr<ServerMetrics> ServerMetrics::listen(const QString& address, QString* error)
{
    auto figures = std::make_unique<Figures>();
    prometheus::Registry& registry = *figures->registry;
    auto& texts = prometheus::BuildCounter()
                      .Name("quaylink_texts_total")
                      .Help("Texts this server gave a final status, by status")
                      .Register(registry);
    for (const char* status : kFinalStatuses)
        figures->texts[QLatin1String(status)] = &texts.Add({{"status", status}});
    auto& passes =
        prometheus::BuildCounter()
            .Name("quaylink_passes_total")
            .Help("Passes that took texts, by the status their texts took (Queued: the upload failed)")
            .Register(registry);
    for (const char* outcome : kPassOutcomes)
        figures->passes[QLatin1String(outcome)] = &passes.Add({{"outcome", outcome}});
    figures->passDuration =
        &prometheus::BuildHistogram()
             .Name("quaylink_pass_duration_seconds")
             .Help("How long passes that took texts lasted, from taking them to recording the outcome")
             .Register(registry)
             .Add({}, Histogram::BucketBoundaries{0.5, 1, 2, 5, 10, 20, 30, 60, 120, 300});
    figures->requestFamily = &prometheus::BuildHistogram()
                                  .Name("quaylink_gateway_request_duration_seconds")
                                  .Help("How long the gateway took to answer a request, by page")
                                  .Register(registry);
    for (const auto& [file, page] : kPages)
        figures->request(page);
    const auto gauge = [&registry](const std::string& name, const std::string& help) {
        return &prometheus::BuildGauge().Name(name).Help(help).Register(registry).Add({});
    };
    figures->queued = gauge("quaylink_queued", "Texts waiting in the queue (Queued)");
    figures->read = gauge("quaylink_read", "Texts taken into a pass now (Read)");
    figures->balance =
        gauge("quaylink_gateway_balance", "The SMS balance the gateway last reported at a login");
    auto& connected = prometheus::BuildGauge()
                          .Name("quaylink_connected")
                          .Help("Whether the server is connected to the message store and to the gateway")
                          .Register(registry);
    figures->storeConnected = &connected.Add({{"to", "store"}});
    figures->gatewayConnected = &connected.Add({{"to", "gateway"}});
    figures->holdsLock =
        gauge("quaylink_holds_lock", "Whether this server holds the store's lock (0: a standby)");

    CivetCallbacks callbacks;
    callbacks.begin_request = refuseOtherRequests;
    callbacks.log_message = keepQuiet;
    try {
        figures->exposer = std::make_unique<prometheus::Exposer>(
            std::vector<std::string>{"listening_ports", address.toStdString(), "num_threads", "2",
                                     "request_timeout_ms", "5000", "max_request_size", "16384",
                                     "enable_keep_alive", "no"},
            &callbacks);
    } catch (const std::exception& exception) {
        *error = QStringLiteral("--metrics %1: cannot listen there (%2)")
                     .arg(address, QString::fromLocal8Bit(exception.what()));
        return nullptr;
    }
    figures->exposer->RegisterCollectable(figures->registry);
    figures->exposer->RegisterCollectable(figures->sinceLastSuccess);
    const std::vector<int> ports = figures->exposer->GetListeningPorts();
    figures->url = QStringLiteral("http://%1:%2/metrics")
                       .arg(address.left(address.lastIndexOf(u':')))
                       .arg(ports.empty() ? 0 : ports.front());
    return std::unique_ptr<ServerMetrics>(new ServerMetrics(std::move(figures)));
}

ServerMetrics::ServerMetrics(std::unique_ptr<Figures> figures)
    : m_figures(std::move(figures))
{
}

// The server stops answering before its figures go.
ServerMetrics::~ServerMetrics()
{
    m_figures->exposer.reset();
}

QString ServerMetrics::url() const
{
    return m_figures->url;
}

void ServerMetrics::textsSettled(const QString& status, int count)
{
    const auto counter = m_figures->texts.find(status);
    if (counter != m_figures->texts.end() && count > 0)
        counter->second->Increment(count);
}

void ServerMetrics::passEnded(const PassReport& report)
{
    const auto counter = m_figures->passes.find(report.outcome);
    if (counter != m_figures->passes.end())
        counter->second->Increment();
    m_figures->passDuration->Observe(report.seconds);
    if (report.outcome == QLatin1String("Sent"))
        m_figures->sinceLastSuccess->succeeded();
}

void ServerMetrics::gatewayRequestEnded(const QString& page, double seconds)
{
    const auto known = kPages.find(page.toLower());
    m_figures->request(known == kPages.end() ? std::string("other") : known->second).Observe(seconds);
}

void ServerMetrics::queueCounted(int queued, int read)
{
    m_figures->queued->Set(queued);
    m_figures->read->Set(read);
}

void ServerMetrics::balanceReported(int balance)
{
    m_figures->balance->Set(balance);
}

void ServerMetrics::setState(bool storeConnected, bool gatewayConnected, bool holdsLock)
{
    m_figures->storeConnected->Set(storeConnected ? 1 : 0);
    m_figures->gatewayConnected->Set(gatewayConnected ? 1 : 0);
    m_figures->holdsLock->Set(holdsLock ? 1 : 0);
}
