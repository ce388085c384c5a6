// TTools: the HTTP client calls every camera CGI request and most vendor requests use, and the
// program's file and folder helpers. Class-level operations only; every call is synchronous,
// never throws and is safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// The largest reply body HttpGet keeps; the rest is not read.
inline constexpr std::size_t kHttpGetMaxReply = 512000;

// Every request ends at the latest this many time-outs after it started, however slowly the
// server trickles its bytes: the time-out bounds the connect and every wait for data, the
// deadline bounds the whole exchange (redirects included).
inline constexpr int kHttpDeadlineFactor = 3;
inline constexpr long HttpDeadlineMs(int timeoutMs) { return static_cast<long>(timeoutMs) * kHttpDeadlineFactor; }

struct THttpReply {
  bool Ok = false;      // the exchange produced a reply (whatever its HTTP status)
  std::string Text;     // the body up to its first zero byte, at most kHttpGetMaxReply bytes
  long Status = 0;      // the HTTP status code (0 when none arrived); callers decide by markers
};

// Told how many bytes of an upload have been sent of how many (0 while unknown); returning
// false cancels the upload.
using THttpUploadProgress = std::function<bool(uint64_t sent, uint64_t total)>;

// A multipart/form-data POST of one file part.
struct THttpUpload {
  std::string Url;
  std::string PartName = "file";
  std::string FilePath;  // the part carries the file's name and content
  std::string PartType = "application/octet-stream";
  std::string User, Password;  // Basic credentials when the user is not empty
  int TimeoutMs = 60000;       // the connect and every wait for data
  bool Http11 = true;          // else HTTP/1.0
  std::string UserAgent;       // empty: the client's own
  std::string AcceptEncoding;  // empty: none asked for
  std::vector<std::string> Headers;  // whole header lines ("Accept: ..."); lines with a break are left out
  THttpUploadProgress Progress;
};

struct THttpUploadResult {
  bool Ok = false;         // the POST completed with a status below 400
  bool Cancelled = false;  // the progress callback ended it
  long Status = 0;
  std::string Reply;       // the body (at most kHttpGetMaxReply bytes) when Ok
  std::string Error;       // what went wrong, for the user ("HTTP 500", the client's text)
};

// A file found by FindFiles: its path and modification time.
struct TFoundFile {
  std::string Path;
  std::filesystem::file_time_type Time{};
};

// The special folders the program uses, mapped to the desktop's folders of the user.
enum class TSpecialFolderId {
  AppData,       // per-user settings ($XDG_CONFIG_HOME or ~/.config)
  LocalAppData,  // per-user data ($XDG_DATA_HOME or ~/.local/share)
  Personal,      // the home folder
};

// What every request of TTools has in common:
// - the URL must be an absolute http or https URL; nothing else is sent anywhere;
// - the time-out (ms) bounds the connect and every wait for data, HttpDeadlineMs(time-out)
//   the whole exchange;
// - a camera on the LAN (a host that IsLanIPv4Text accepts) is asked directly, whatever proxy
//   the environment names (http_proxy, all_proxy ...); other hosts go through it;
// - a redirect is followed only to the same scheme, host and port (at most 5 times), so no
//   server can send the request and its credentials to another host; the upload follows none.
class TTools {
 public:
  // GET with one time-out for the connect and for every wait for data (ms). The Basic
  // authorization header is sent only when user and password are both non-empty; its value
  // never holds a line break. The body is read whole, up to kHttpGetMaxReply bytes. An HTTP
  // error page counts as a reply, and so does a redirect to another server (not followed).
  static THttpReply HttpGet(const std::string& url, const std::string& user = {}, const std::string& password = {},
                            int timeoutMs = 5000);
  static bool HttpGet(const std::string& url, const std::string& user, const std::string& password, int timeoutMs,
                      std::string& reply);

  // multipart/form-data POST of one file part (HTTP/1.1, cookies on, no proxy). user and
  // password, when the user is not empty, go to the server as Basic credentials. True when the
  // POST completed with a status below 400; the body is returned in *reply when asked.
  static bool HttpPostFile(const std::string& url, const std::string& partName, const std::string& filePath,
                           const std::string& contentType, const std::string& user, const std::string& password,
                           int timeoutMs, std::string* reply = nullptr);
  // The same with every part of the request chosen by the caller, with progress.
  static THttpUploadResult HttpUpload(const THttpUpload& upload);

  // GET into a file: the body goes to a temporary file beside target that replaces target
  // only when the transfer completed with a 2xx status (a redirect to another server is no
  // download).
  static bool HttpGetToFile(const std::string& url, const std::filesystem::path& target, int timeoutMs,
                            const std::string& user = {}, const std::string& password = {});

  // --- files and folders ---------------------------------------------------------------

  // The temporary folder, with a trailing '/'.
  static std::string TempPath();
  // Creates the folder and every missing parent; true when it exists afterwards (and for "").
  static bool ForceDirectories(const std::string& path);
  // Appends the pieces of text between separators (empty pieces included; "" gives one
  // empty piece).
  static void SplitText(std::string_view text, std::string_view separator, std::vector<std::string>& list);
  // Appends every file of folder that matches one of the masks (separated by ';' when the text
  // holds one, else by '|'; '*' and '?' wildcards). unique skips paths already in the list;
  // recursive descends into subfolders (always unique there) while continueTest, when given,
  // answers true.
  static void FindFiles(std::vector<TFoundFile>& list, const std::string& folder, bool unique,
                        const std::function<bool()>& continueTest, bool recursive, const std::string& masks);
  // Deletes every file below folder (and the folder itself when asked); errors are ignored.
  static bool DeleteTree(const std::string& folder, bool removeFolder);
  // The program file, and the program folder (ProgramDir(): its folder, or
  // KESTROVA_PROGRAM_DIR) with a trailing '/'.
  static std::string ModulePath();
  static std::string AppDir();
  // The special folder with a trailing '/', created with its parents when asked.
  static std::string SpecialFolder(TSpecialFolderId id, bool create);
  // The special folder + the program's name (less an extension such as ".exe") + '/'.
  static std::string AppDataDir(TSpecialFolderId id, bool create);
};

}  // namespace kestrova
