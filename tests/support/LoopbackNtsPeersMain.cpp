// loopback_nts_peers: the NTS peers of tests/support/NtsPeers.h as a program
// of its own, for the Windows flavour's tests under Wine. Once they serve, it
// prints one NAME=VALUE line for each (servers as 127.0.0.1:port, files as
// paths) and then "ready", and keeps them until it is killed or its standard
// input closes. A failure is one line on standard error beginning "Error",
// and exit status 1.
#include "tests/support/NtsPeers.h"

#include <QCoreApplication>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <thread>

int main(int argc, char** argv)
{
    using namespace chronavel::testing;
    try {
        // Blocked before any thread starts, so that every thread inherits the
        // mask and only the sigwait below receives them: the peers then stop
        // with their destructors, chronyd processes included.
        sigset_t ending;
        sigemptyset(&ending);
        for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
            sigaddset(&ending, number);
        }
        pthread_sigmask(SIG_BLOCK, &ending, nullptr);
        const QCoreApplication application(argc, argv); // for chronyd's QProcess

        const NtsPeers peers;
        for (const Tampering tampering : EveryTampering) {
            std::cout << "SERVER_" << NameOf(tampering) << '=' << peers.Server(tampering) << '\n';
        }
        std::cout << "OTHER_HOST_SERVER=" << peers.OtherHostServer() << '\n'
                  << "REFUSING_SERVER=" << peers.RefusingServer() << '\n'
                  << "SILENT_SERVER=" << peers.SilentServer() << '\n'
                  << "RACED_SERVER=" << peers.RacedServer() << '\n'
                  << "CA_FILE=" << peers.caFile() << '\n'
                  << "CA_DER_FILE=" << peers.caDerFile() << '\n'
                  << "UNTRUSTED_CA_FILE=" << peers.untrustedCaFile() << '\n'
                  << "ready" << std::endl;

        std::thread([] {
            char buffer[256];
            while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {}
            ::kill(::getpid(), SIGTERM);
        }).detach();
        int received = 0;
        sigwait(&ending, &received);
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "Error: " << error.what() << std::endl;
        return 1;
    }
}
