// bench-bare PORT THREADS BODYFILE: the HTTP library alone, tuned like caleprodu-server, answering
// every POST to the calendar's path with the fixed body; stops on SIGINT or SIGTERM.

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <pthread.h>
#include <sstream>
#include <thread>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench-bare PORT THREADS BODYFILE\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int threads = std::atoi(argv[2]);
    std::ifstream file(argv[3], std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const std::string body = text.str();

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    httplib::Server http;
    http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    http.set_tcp_nodelay(true);
    http.set_keep_alive_max_count(10000);
    http.set_keep_alive_timeout(10);
    http.Get("/health", [](const httplib::Request &, httplib::Response &response) {
        response.set_content("ok\n", "text/plain");
    });
    http.Post("/QMR07700.rdmCaleProd", [&body](const httplib::Request &, httplib::Response &r) {
        r.set_content(body, "application/json");
    });
    if (!http.bind_to_port("127.0.0.1", port)) {
        std::fprintf(stderr, "bench-bare: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::thread listener([&http] { http.listen_after_bind(); });
    int received = 0;
    sigwait(&stopSignals, &received);
    http.stop();
    listener.join();
    return 0;
}
