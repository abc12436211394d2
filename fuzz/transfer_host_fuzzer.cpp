#include "server/TransferHost.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString setting = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const CTransferHost host = CTransferHost::Parse(setting);
    if (host.IsValid()) {
        if (host.m_nPort < 0 || host.m_nPort > 65535)
            __builtin_trap();
        // What the Options page writes back names the same protocol.
        for (int p = CTransferHost::FTP; p <= CTransferHost::SFTP; ++p) {
            const QString composed = CTransferHost::Compose(CTransferHost::Protocol(p), host.m_strHost, false);
            if (!composed.isEmpty() && CTransferHost::Parse(composed).m_protocol != p)
                __builtin_trap();
        }
    }
    CTransferHost::PortAfterSwitch(host.m_protocol, CTransferHost::SFTP, host.m_nPort);
    return 0;
}
