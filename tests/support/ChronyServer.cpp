#include "tests/support/ChronyServer.h"

#include "tests/support/LoopbackSntpServer.h"

#include <QStandardPaths>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace chronavel::testing {
namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreeTcpPort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    const bool bound = probe >= 0 && ::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(probe);
    if (!bound) {
        throw std::runtime_error("no free TCP port on 127.0.0.1");
    }
    return ntohs(address.sin_port);
}

bool AcceptsConnections(int port)
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    const bool accepted
        = probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return accepted;
}

} // namespace

ChronyServer::ChronyServer(std::optional<Nts> nts) : m_ntpPort(ClosedUdpPort())
{
    if (Executable().empty()) {
        throw std::runtime_error("chronyd is not installed (Debian package chrony)");
    }
    const std::string dir = m_dir.path().toStdString();
    std::ofstream conf(dir + "/chrony.conf");
    conf << "port " << m_ntpPort << "\n"
         << "bindaddress 127.0.0.1\n"
         << "allow 127.0.0.1\n"
         << "local stratum 8\n"
         << "cmdport 0\n"
         << "pidfile " << dir << "/chronyd.pid\n";
    if (nts) {
        m_keyExchangePort = FreeTcpPort();
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
    if (nts && nts->ipv4Only) {
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
        if (AcceptsConnections(m_keyExchangePort)) {
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
