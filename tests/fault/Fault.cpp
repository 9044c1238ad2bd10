#include "Fault.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <glib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <regex>
#include <stdexcept>

namespace vuko::fault {

TempDir::TempDir() {
  gchar* d = g_dir_make_tmp("vuko-fault-XXXXXX", nullptr);
  path = d;
  g_free(d);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

int killCount(int fallback) {
  const char* v = std::getenv("VUKO_FAULT_KILLS");
  int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : fallback;
}

int randomBetween(int low, int high) {
  static std::mt19937 gen{std::random_device{}()};
  return std::uniform_int_distribution<int>(low, high)(gen);
}

HttpReply http(int port, const std::string& method, const std::string& path,
               const std::string& body, const std::string& token) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  timeval limit{20, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string req = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  if (!token.empty()) req += "Authorization: Bearer " + token + "\r\n";
  if (!body.empty() || method == "POST" || method == "PUT")
    req +=
        "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  req += "\r\n" + body;
  std::string answer;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      send(fd, req.data(), req.size(), MSG_NOSIGNAL) == ssize_t(req.size())) {
    char buf[8192];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) answer.append(buf, size_t(n));
  }
  close(fd);
  // A status counts only with its whole body: a cut answer is no answer.
  auto headEnd = answer.find("\r\n\r\n");
  std::smatch len;
  if (answer.rfind("HTTP/1.1 ", 0) != 0 || headEnd == std::string::npos ||
      !std::regex_search(answer.cbegin(), answer.cbegin() + headEnd, len,
                         std::regex("content-length: (\\d+)", std::regex::icase)) ||
      std::stoul(len[1]) != answer.size() - headEnd - 4)
    return {};
  return {std::atoi(answer.c_str() + 9), answer.substr(headEnd + 4)};
}

DevServerProcess::DevServerProcess(const std::string& db) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    execl(VUKO_DEVSERVER_BINARY, VUKO_DEVSERVER_BINARY, "--port", "0", "--db", db.c_str(),
          "--quiet", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  // The first line names the address once the port is bound.
  std::string line;
  char c;
  while (line.find('\n') == std::string::npos && read(out[0], &c, 1) == 1) line += c;
  close(out[0]);
  std::smatch m;
  if (!std::regex_search(line, m, std::regex("127\\.0\\.0\\.1:(\\d+)")))
    throw std::runtime_error("vuko-devserver did not start: " + line);
  port_ = std::stoi(m[1]);
}

DevServerProcess::~DevServerProcess() {
  kill9();
}

void DevServerProcess::kill9() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace vuko::fault
