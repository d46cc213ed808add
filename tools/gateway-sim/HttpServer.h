#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

/// One HTTP request as read from the connection.
struct HttpRequest
{
    QByteArray method;
    QByteArray target; // as on the request line: path and query
    QByteArray path;
    QByteArray query; // without the "?"
    QByteArray body;
};

/// What to do with a request: answer it (after a delay, when asked) or close the connection unanswered.
struct HttpReply
{
    int status = 200;
    QByteArray body;
    int delayMs = 0; // before the status line
    int splitMs = 0; // between the headers and the body; 0: all in one piece
    bool drop = false;
    /// No Content-Length and a body that never ends: filler is written for as long as the client reads.
    bool endless = false;
    // Called once the reply is out in full, or dropped, or due while its client had already gone.
    std::function<void()> finished;
};

/// A small HTTP/1.1 server on 127.0.0.1: keep-alive, Content-Length bodies, one request at a time per
/// connection, each response written in one piece (or two, when asked) on a socket without Nagle's delay.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    explicit HttpServer(Handler handler, QObject* parent = nullptr);

    bool listen(quint16 port);
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }

private:
    void acceptConnections();

    QTcpServer m_server;
    Handler m_handler;
};

/// One client connection of HttpServer: reads requests, hands each to the handler, writes its reply.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    HttpConnection(QTcpSocket* socket, HttpServer::Handler handler, QObject* parent);

private:
    void readRequests();
    void answerLater(const HttpReply& reply, bool keepAlive);
    void finishWaiting(const HttpReply& reply, bool keepAlive, const QByteArray& rest);
    void endReply(const HttpReply& reply, bool keepAlive);
    void streamEndless(const HttpReply& reply);
    void write(const QByteArray& bytes);
    void fail(int status, const QByteArray& body);
    void closed();

    QPointer<QTcpSocket> m_socket;
    HttpServer::Handler m_handler;
    QByteArray m_buffer;
    bool m_waiting = false; // a reply is on its way; the requests behind it wait
    bool m_closing = false;
    bool m_closed = false; // by the client
};
