#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace caleserver {

class Storage;

/// What one JSON-RPC call produced: the answer body and what the log line needs.
struct RpcAnswer
{
    QByteArray body;
    QString method;
    int code = 0;
};

/// Answers one JSON-RPC 2.0 request body. The storage is asked for only when a method runs;
/// nullptr (with a reason) makes the call a storage failure.
RpcAnswer answerRpc(const QByteArray &body, const std::function<Storage *(QString *)> &storage);

} // namespace caleserver
