#include "setupdata/UninstallRecord.h"

#include <cstring>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/Stream.h"

using namespace UninstallRecord;

void WriteUninstallRecord(TStream& stream, const TProgramVersion& version,
                          const std::vector<std::string>& installLog, const void* productData,
                          int32_t productDataLength) {
    uint8_t header[HeaderSize] = {};
    std::memcpy(header, Signature, sizeof Signature);
    stream.WriteBuffer(header, HeaderSize);
    version.SaveToStream(stream);

    std::string logText;
    for (const std::string& entry : installLog) {
        logText += entry;
        logText += "\r\n";
    }
    const int32_t logLength = static_cast<int32_t>(logText.size());
    stream.WriteInt32(logLength);
    stream.WriteInt32(productDataLength);
    if (logLength > 0)
        stream.WriteBuffer(logText.data(), logLength);
    if (productDataLength > 0)
        stream.WriteBuffer(productData, productDataLength);
}

void ReadUninstallRecord(TStream& stream, int64_t recordEnd, TUninstallRecord& record) {
    const int64_t recordStart = stream.Position();
    uint8_t header[HeaderSize];
    stream.ReadBuffer(header, HeaderSize);
    if (std::memcmp(header, Signature, sizeof Signature) != 0)
        throw ESetupError(InvalidSignatureMessage);

    record.Version.LoadFromStream(stream);
    const int32_t logLength = stream.ReadInt32();
    const int32_t productDataLength = stream.ReadInt32();

    // A damaged record must not make us allocate gigabytes or replay a half-read log: both
    // lengths have to fit into what is left of the file.
    const int64_t available = recordEnd - (recordStart + LogOffset);
    if (logLength < 0 || productDataLength < 0 ||
        static_cast<int64_t>(logLength) + productDataLength > available)
        throw ESetupError(InvalidDataMessage);

    std::string logText(static_cast<size_t>(logLength), '\0');
    if (logLength > 0)
        stream.ReadBuffer(logText.data(), logLength);
    record.InstallLog = SplitLines(logText);

    record.ProductDataLength = productDataLength;
    record.ProductData.assign(static_cast<size_t>(productDataLength), 0);
    if (productDataLength > 0)
        stream.ReadBuffer(record.ProductData.data(), productDataLength);
}

