// State of the IRC connection: sockets, input buffer, current message, output history.
#pragma once

struct IrcState {
    int ircsocket = 0;   // 0 none; a failed open leaves its result here
    int querysocket = 0;
    int localsocket = 0;

    int ircconnected = 0;
    int ircjoined = 0;
    int queryopen = 0;
    int localopen = 0;
};
