// tidewatch-watch: a minimal IRC client that sits in a channel and prints what is
// said there, with mIRC colours shown as terminal colours. Used by the demo to show
// the channel as its users see it.
//
//   tidewatch-watch HOST PORT CHANNEL [NICK] [PASSWORD]

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_sock = -1;

void send_line(const std::string& line)
{
    std::string wire = line + "\r\n";
    ssize_t off = 0;
    while (off < static_cast<ssize_t>(wire.size())) {
        ssize_t n = send(g_sock, wire.data() + off, wire.size() - off, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        off += n;
    }
}

// mIRC colour numbers as 256-colour terminal colours.
const int kAnsi[16] = {15, 0, 4, 2, 9, 1, 5, 208, 11, 10, 6, 14, 12, 13, 8, 7};

// Renders IRC formatting as terminal escapes; Latin-1 bytes become UTF-8.
std::string render(const std::string& text, bool colour)
{
    std::string out;
    bool bold = false, reverse = false, underline = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0x03) {
            int fg = -1, bg = -1;
            auto number = [&](int& v) {
                if (i + 1 < text.size() && isdigit(static_cast<unsigned char>(text[i + 1]))) {
                    v = text[++i] - '0';
                    if (i + 1 < text.size() && isdigit(static_cast<unsigned char>(text[i + 1])) && v * 10 + (text[i + 1] - '0') < 16)
                        v = v * 10 + (text[++i] - '0');
                    return true;
                }
                return false;
            };
            if (number(fg) && i + 2 < text.size() && text[i + 1] == ',' && isdigit(static_cast<unsigned char>(text[i + 2]))) {
                ++i;
                number(bg);
            }
            if (colour) {
                if (fg < 0)
                    out += "\033[39;49m";
                else {
                    out += "\033[38;5;" + std::to_string(kAnsi[fg % 16]) + "m";
                    if (bg >= 0)
                        out += "\033[48;5;" + std::to_string(kAnsi[bg % 16]) + "m";
                }
            }
        } else if (c == 0x02) {
            bold = !bold;
            if (colour)
                out += bold ? "\033[1m" : "\033[22m";
        } else if (c == 0x16) {
            reverse = !reverse;
            if (colour)
                out += reverse ? "\033[7m" : "\033[27m";
        } else if (c == 0x1f) {
            underline = !underline;
            if (colour)
                out += underline ? "\033[4m" : "\033[24m";
        } else if (c == 0x0f) {
            bold = reverse = underline = false;
            if (colour)
                out += "\033[0m";
        } else if (c >= 0x80) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(c);
        }
    }
    if (colour)
        out += "\033[0m";
    return out;
}

void handle(const std::string& line, const std::string& channel, bool colour)
{
    if (line.rfind("PING", 0) == 0) {
        send_line("PONG" + line.substr(4));
        return;
    }
    // :nick!user@host PRIVMSG #channel :text
    if (line.empty() || line[0] != ':')
        return;
    std::size_t sp1 = line.find(' ');
    if (sp1 == std::string::npos)
        return;
    std::string prefix = line.substr(1, sp1 - 1);
    std::string nick = prefix.substr(0, prefix.find('!'));
    std::size_t sp2 = line.find(' ', sp1 + 1);
    std::string command = line.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1);
    if (command == "PRIVMSG" && sp2 != std::string::npos) {
        std::size_t colon = line.find(" :", sp2);
        std::string text = colon == std::string::npos ? "" : line.substr(colon + 2);
        std::printf("<%s> %s\n", nick.c_str(), render(text, colour).c_str());
    } else if (command == "JOIN") {
        std::printf("*** %s joined %s\n", nick.c_str(), channel.c_str());
    } else if (command == "QUIT" || command == "PART") {
        std::printf("*** %s left\n", nick.c_str());
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s HOST PORT CHANNEL [NICK] [PASSWORD]\n", argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::string host = argv[1], port = argv[2], channel = argv[3];
    std::string nick = argc > 4 ? argv[4] : "watcher";
    std::string pass = argc > 5 ? argv[5] : "";
    bool colour = isatty(STDOUT_FILENO) && !std::getenv("NO_COLOR");

    addrinfo hints{}, *res = nullptr;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &res) != 0 || !res) {
        std::fprintf(stderr, "cannot resolve %s\n", host.c_str());
        return 1;
    }
    for (int attempt = 0; attempt < 50; ++attempt) {
        g_sock = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(g_sock, res->ai_addr, res->ai_addrlen) == 0)
            break;
        close(g_sock);
        g_sock = -1;
        usleep(200000);
    }
    freeaddrinfo(res);
    if (g_sock < 0) {
        std::fprintf(stderr, "cannot connect to %s:%s\n", host.c_str(), port.c_str());
        return 1;
    }
    if (!pass.empty())
        send_line("PASS " + pass);
    send_line("NICK " + nick);
    send_line("USER " + nick + " 0 * :channel watcher");
    send_line("JOIN " + channel);

    std::string buf;
    char chunk[4096];
    for (;;) {
        ssize_t n = recv(g_sock, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        buf.append(chunk, static_cast<std::size_t>(n));
        std::size_t pos;
        while ((pos = buf.find("\r\n")) != std::string::npos) {
            handle(buf.substr(0, pos), channel, colour);
            buf.erase(0, pos + 2);
        }
    }
    std::printf("*** connection closed\n");
    return 0;
}
