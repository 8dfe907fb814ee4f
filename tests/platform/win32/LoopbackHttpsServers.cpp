#include "tests/platform/win32/LoopbackHttpsServers.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace chronavel::testing {
namespace {

std::string Environment(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) {
        throw std::runtime_error(name + " is not set: run this test through CTest (with-https-servers)");
    }
    return value;
}

std::string ServerFile(const std::string& serverName, const char* extension)
{
    return Environment("CHRONAVEL_HTTPS_DIR") + "\\" + serverName + extension;
}

} // namespace

int HttpsServerPort(const std::string& serverName)
{
    std::string variable = "CHRONAVEL_HTTPS_" + serverName + "_PORT";
    for (char& c : variable) {
        c = c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return std::stoi(Environment(variable));
}

std::vector<LoggedRequest> LoggedRequests(const std::string& serverName)
{
    std::ifstream log(ServerFile(serverName, ".log"), std::ios::binary);
    std::vector<LoggedRequest> requests;
    std::string line;
    while (std::getline(log, line) && line.starts_with("request ")) {
        LoggedRequest& request = requests.emplace_back();
        request.body.resize(std::stoul(line.substr(8)));
        std::getline(log, request.requestLine);
        while (std::getline(log, line) && !line.empty()) {
            const std::size_t colon = line.find(": ");
            request.headers[line.substr(0, colon)] = line.substr(colon + 2);
        }
        log.read(request.body.data(), static_cast<std::streamsize>(request.body.size()));
        log.ignore(1);
    }
    return requests;
}

std::string HttpsServerCaFile(const std::string& serverName)
{
    return ServerFile(serverName, ".der");
}

CaInUserStore::CaInUserStore(const std::string& derFile, const wchar_t* storeName)
    : m_store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, storeName))
{
    std::ifstream file(derFile, std::ios::binary);
    const std::string der((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto fail = [&] {
        return std::runtime_error("cannot store the CA in " + derFile + " (error " + std::to_string(GetLastError())
                                  + ")");
    };
    PCCERT_CONTEXT added = nullptr;
    if (!m_store || der.empty()
        || !CertAddEncodedCertificateToStore(m_store.get(), X509_ASN_ENCODING,
                                             reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()),
                                             CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
        throw fail();
    }
    m_certificate = {added, CertificateRemover{m_store.get()}};
    // WinHTTP reads the registry afresh.
    if (!CertControlStore(m_store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr)) {
        throw fail();
    }
}

} // namespace chronavel::testing
