#pragma once
// PK2 firmware packages and the messages of the camera's upgrade mode.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::upgrade {

// The product's scrambling key; every data chunk and command payload is XOR-ed with it.
inline constexpr std::array<uint8_t, 8> kScrambleKey = {0x5A, 0x3C, 0x96, 0x0F, 0xA5, 0xC3, 0x69, 0xF0};
inline constexpr size_t kPackageHeaderSize = 28;
inline constexpr size_t kRecordHeaderSize = 24;
inline constexpr size_t kMaxChunk = 1400;
inline constexpr size_t kSendBufferSize = 2048;
inline constexpr size_t kMaxNameLength = 255;

enum class RecordKind { File, Command, Other };

// One record, located inside the package bytes (offsets are from the start of the package).
struct Pk2Record {
  RecordKind Kind = RecordKind::Other;
  std::string Name;          // FILE only
  size_t DataOffset = 0;     // FILE: first data byte; CMD: first payload byte
  size_t DataLength = 0;     // FILE: D; CMD: S
};

struct Pk2Package {
  uint32_t RecordCount = 0;
  std::vector<Pk2Record> Records;
};

// The first 28 bytes are present and begin with "PK2" and a zero byte.
bool LooksLikePackage(std::string_view bytes);

// Reads the whole package; any record reaching past the end, a name over 255 bytes, or
// a command / announcement that cannot fit the send buffer makes the package invalid.
std::optional<Pk2Package> ParsePackage(std::string_view bytes);

// XOR with the key, position counted from the first byte of the message payload.
std::string Scramble(std::string_view plain);

std::string GreetingMessage();
// Empty when the announcement does not fit the send buffer.
std::string FileAnnouncement(std::string_view name, size_t dataLength);
std::string DataChunkMessage(std::string_view scrambled);
std::string DigestMessage(const std::array<uint8_t, 16>& digest);
// Empty when the command does not fit the send buffer.
std::string CommandMessage(std::string_view scrambled);

enum class ReplyKind { Accepted, More, Refused, NotReply };
// One answer of the camera in upgrade mode ("REPLY OK", "REPLY Continue n", ...).
ReplyKind ClassifyReply(std::string_view text);

// The file checks before any upload: kind of file (system firmware or web pages) per family.
enum class FileCheck { Ok, Refused };
// content: the file (family 5 needs all of it; the others look at the first four bytes).
FileCheck CheckUpgradeFile(int devType, bool webPages, std::string_view content);

// "http://" + address, ":" + port unless it is 80.
std::string UpgradeBaseUrl(std::string_view address, int port);

}  // namespace kestrova::upgrade
