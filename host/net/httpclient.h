#pragma once

#include <memory>
#include <string>

// One HTTP/1.1 connection to a server, kept open between requests for keep-alive. Each request
// blocks its caller, with a deadline to connect and one to send and receive.
class HttpClient
{
public:
    enum class Failure { None, Connect, ConnectTimeout, Write, Read };
    struct Answer
    {
        Failure failure = Failure::None;
        int status = 0;
        std::string body;
    };

    HttpClient(std::string host, int port, int connectSeconds, int readSeconds);
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    // POSTs a JSON body; a non-empty token goes as a Bearer authorization, a non-empty operator
    // name as X-Operador.
    Answer postJson(const std::string &target, const std::string &token, const std::string &body,
                    const std::string &operatorName = {});

private:
    struct Private;
    std::unique_ptr<Private> d;
};
