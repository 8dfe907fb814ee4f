#include "tests/support/ChronyServer.h"

#include "tests/support/LoopbackSntpServer.h"
#include "tests/support/LoopbackSockets.h"

#include <QStandardPaths>
#include <QThread>

#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <vector>

namespace chronavel::testing {
namespace {

bool AcceptsConnections(int port, bool ipv6)
{
    for (const int family : ipv6 ? std::vector{AF_INET, AF_INET6} : std::vector{AF_INET}) {
        const int probe = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const auto [address, length] = LoopbackAddress(family, port);
        const bool accepted = probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr*>(&address), length) == 0;
        ::close(probe);
        if (!accepted) {
            return false;
        }
    }
    return true;
}

} // namespace

ChronyServer::ChronyServer(std::optional<Nts> nts) : m_ntpPort(ClosedUdpPort())
{
    if (Executable().empty()) {
        throw std::runtime_error("chronyd is not installed (Debian package chrony)");
    }
    const std::string dir = m_dir.path().toStdString();
    std::ofstream conf(dir + "/chrony.conf");
    conf << "port " << m_ntpPort << "\n";
    // Both loopback addresses, each bound and allowed, as localhost may be
    // either: without an IPv6 bindaddress chronyd serves NTP and NTS-KE on
    // every IPv6 address and refuses ::1 as not allowed. Without ::1, IPv4
    // alone (-4 below).
    m_bIpv6 = HasIpv6Loopback() && !(nts && nts->ipv4Only);
    for (const char* address : m_bIpv6 ? std::vector{"127.0.0.1", "::1"} : std::vector{"127.0.0.1"}) {
        conf << "bindaddress " << address << "\n"
             << "allow " << address << "\n";
    }
    conf << "local stratum 8\n"
         << "cmdport 0\n"
         << "pidfile " << dir << "/chronyd.pid\n";
    if (nts) {
        m_keyExchangePort = LoopbackSockets(SOCK_STREAM).port();
        // Key exchanges in the main process: no helper processes to outlive it.
        conf << "ntsport " << m_keyExchangePort << "\n"
             << "ntsservercert " << nts->identity.certificateFile << "\n"
             << "ntsserverkey " << nts->identity.keyFile << "\n"
             << "ntsprocesses 0\n"
             << "ntsdumpdir " << dir << "\n";
        if (!nts->ntpServer.empty()) {
            conf << "ntsntpserver " << nts->ntpServer << "\n";
        }
    }
    conf.close();

    // -x: never touch the system clock; -d: stay in the foreground.
    QStringList arguments{"-x", "-d", "-f", m_dir.filePath("chrony.conf")};
    if (!m_bIpv6) {
        arguments << "-4";
    }
    if (geteuid() == 0) {
        arguments << "-u"
                  << "root";
    }
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // Not the signal mask of a caller that blocks its ending signals, with which chronyd would not stop.
    m_process.setChildProcessModifier([] {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
    });
    m_process.start(QString::fromStdString(Executable()), arguments);
    if (!m_process.waitForStarted(5000)) {
        throw std::runtime_error("chronyd did not start: " + m_process.errorString().toStdString());
    }
    if (nts) {
        WaitUntilAcceptingKeyExchanges();
    }
}

ChronyServer::~ChronyServer()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void ChronyServer::WaitUntilAcceptingKeyExchanges()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (AcceptsConnections(m_keyExchangePort, m_bIpv6)) {
            return;
        }
        if (m_process.waitForFinished(50)) {
            break;
        }
    }
    throw std::runtime_error("chronyd does not accept key exchanges: " + m_process.readAll().toStdString());
}

std::string ChronyServer::Executable()
{
    return QStandardPaths::findExecutable("chronyd", {"/usr/sbin", "/sbin", "/usr/local/sbin"}).toStdString();
}

} // namespace chronavel::testing
