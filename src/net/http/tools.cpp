#include "net/http/tools.h"

#include <curl/curl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>

#include "core/discovery/ip_text.h"
#include "core/protocols/base64.h"
#include "net/platform/program_dir.h"

namespace kestrova {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Aborts a transfer when no byte has moved for the time-out (the receive time-out of every
// wait for data).
struct IdleWatch {
  std::chrono::milliseconds limit;
  Clock::time_point last = Clock::now();
  curl_off_t seen = -1;
  const THttpUploadProgress* upload = nullptr;  // told of every upload step; false cancels
  bool cancelled = false;
};

int OnProgress(void* p, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow) {
  auto* w = static_cast<IdleWatch*>(p);
  if (w->upload && *w->upload && !(*w->upload)(static_cast<uint64_t>(ulnow), static_cast<uint64_t>(ultotal))) {
    w->cancelled = true;
    return 1;
  }
  curl_off_t moved = dlnow + ulnow;
  auto now = Clock::now();
  if (moved != w->seen) {
    w->seen = moved;
    w->last = now;
    return 0;
  }
  return now - w->last > w->limit ? 1 : 0;
}

struct Sink {
  std::string data;
  std::size_t cap = 0;
  bool capped = false;
};

size_t OnData(char* ptr, size_t size, size_t n, void* p) {
  auto* s = static_cast<Sink*>(p);
  size_t len = size * n;
  size_t room = s->cap - s->data.size();
  if (len > room) {
    s->data.append(ptr, room);
    s->capped = true;
    return 0;  // the rest is not read
  }
  s->data.append(ptr, len);
  return len;
}

size_t OnFileData(char* ptr, size_t size, size_t n, void* p) {
  auto* f = static_cast<std::FILE*>(p);
  return std::fwrite(ptr, size, n, f) * size;
}


void CommonOptions(CURL* c, int timeoutMs, IdleWatch& idle) {
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, "MyIP");
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &idle);
  // Redirects are followed by Perform, and only to the same server.
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
}

// Where a URL leads: scheme, host and port (the default port of the scheme when none is
// written). nullopt for a text that is not an absolute http or https URL: nothing is guessed,
// so a text without a scheme never becomes a request to some host named in it.
struct Origin {
  std::string scheme, host, port;
  bool operator==(const Origin&) const = default;
};

std::optional<Origin> OriginOf(const char* url) {
  CURLU* h = curl_url();
  if (!h) return std::nullopt;
  std::optional<Origin> out;
  char *scheme = nullptr, *host = nullptr, *port = nullptr;
  if (curl_url_set(h, CURLUPART_URL, url, 0) == CURLUE_OK &&
      curl_url_get(h, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(h, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(h, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
    Origin o{scheme, host, port};
    std::transform(o.scheme.begin(), o.scheme.end(), o.scheme.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if ((o.scheme == "http" || o.scheme == "https") && !o.host.empty()) out = std::move(o);
  }
  curl_free(scheme);
  curl_free(host);
  curl_free(port);
  curl_url_cleanup(h);
  return out;
}

struct Outcome {
  CURLcode rc = CURLE_URL_MALFORMAT;
  long status = 0;  // HTTP status of the last response, 0 when none arrived
};

// Runs the transfer set up on c against url. Every request ends by its deadline
// (kHttpDeadlineFactor time-outs after the start, redirects included) however slowly the
// server delivers. A camera on the LAN is asked directly, never through a proxy. With
// followRedirects, a redirect is followed only to the same scheme, host and port (at most
// kMaxRedirects), so that no server can send the request and its credentials elsewhere; a
// redirect to anywhere else ends the exchange with that redirect as the response. restart()
// drops what a followed redirect delivered.
constexpr int kMaxRedirects = 5;

Outcome Perform(CURL* c, const std::string& url, int timeoutMs, IdleWatch& idle, bool followRedirects,
                const std::function<void()>& restart) {
  Outcome out;
  const std::optional<Origin> origin = OriginOf(url.c_str());
  if (!origin) return out;
  if (IsLanIPv4Text(origin->host)) curl_easy_setopt(c, CURLOPT_PROXY, "");
  const auto deadline = Clock::now() + std::chrono::milliseconds(HttpDeadlineMs(timeoutMs));
  std::string current = url;
  for (int hop = 0;; ++hop) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      out.rc = CURLE_OPERATION_TIMEDOUT;
      return out;
    }
    curl_easy_setopt(c, CURLOPT_URL, current.c_str());
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
    idle.last = Clock::now();
    idle.seen = -1;
    out.rc = curl_easy_perform(c);
    out.status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &out.status);
    if (!followRedirects || out.rc != CURLE_OK || out.status < 300 || out.status > 399 || hop >= kMaxRedirects)
      return out;
    char* next = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &next) != CURLE_OK || !next) return out;
    const std::optional<Origin> target = OriginOf(next);
    if (!target || *target != *origin) return out;  // another server: not followed
    current = next;
    if (restart) restart();
  }
}

}  // namespace

THttpReply TTools::HttpGet(const std::string& url, const std::string& user, const std::string& password,
                           int timeoutMs) {
  GlobalInit();
  THttpReply out;
  CURL* c = curl_easy_init();
  if (!c) return out;
  IdleWatch idle{std::chrono::milliseconds(timeoutMs)};
  Sink sink;
  sink.cap = kHttpGetMaxReply;
  CommonOptions(c, timeoutMs, idle);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnData);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  curl_slist* headers = nullptr;
  if (!user.empty() && !password.empty()) {
    // One line: a line break inside the value would start a header line of its own.
    std::string h = "Authorization: Basic " + EncodeBase64NoBreaks(user + ":" + password);
    headers = curl_slist_append(headers, h.c_str());
  }
  headers = curl_slist_append(headers, "Cache-Control: no-cache");
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  const Outcome res = Perform(c, url, timeoutMs, idle, true, [&] {
    sink.data.clear();
    sink.capped = false;
  });
  bool ok = res.rc == CURLE_OK || (res.rc == CURLE_WRITE_ERROR && sink.capped);
  if (ok) {
    out.Status = res.status;
    out.Ok = true;
    size_t nul = sink.data.find('\0');
    if (nul != std::string::npos) sink.data.resize(nul);
    out.Text = std::move(sink.data);
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(c);
  return out;
}

bool TTools::HttpGet(const std::string& url, const std::string& user, const std::string& password, int timeoutMs,
                     std::string& reply) {
  THttpReply r = HttpGet(url, user, password, timeoutMs);
  reply = std::move(r.Text);
  return r.Ok;
}

bool TTools::HttpPostFile(const std::string& url, const std::string& partName, const std::string& filePath,
                          const std::string& contentType, const std::string& user, const std::string& password,
                          int timeoutMs, std::string* reply) {
  THttpUpload u;
  u.Url = url;
  u.PartName = partName;
  u.FilePath = filePath;
  u.PartType = contentType;
  u.User = user;
  u.Password = password;
  u.TimeoutMs = timeoutMs;
  u.Headers = {"Accept: image/gif, image/jpeg, image/pjpeg, image/pjpeg, application/x-shockwave-flash, */*"};
  u.AcceptEncoding = "gzip,deflate";
  THttpUploadResult r = HttpUpload(u);
  if (reply) *reply = r.Ok ? std::move(r.Reply) : std::string();
  return r.Ok;
}

THttpUploadResult TTools::HttpUpload(const THttpUpload& u) {
  GlobalInit();
  THttpUploadResult out;
  std::error_code ec;
  if (!fs::is_regular_file(u.FilePath, ec)) return out;
  CURL* c = curl_easy_init();
  if (!c) return out;
  IdleWatch idle{std::chrono::milliseconds(u.TimeoutMs)};
  idle.upload = &u.Progress;
  Sink sink;
  sink.cap = kHttpGetMaxReply;
  CommonOptions(c, u.TimeoutMs, idle);
  if (!u.UserAgent.empty()) curl_easy_setopt(c, CURLOPT_USERAGENT, u.UserAgent.c_str());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, u.Http11 ? CURL_HTTP_VERSION_1_1 : CURL_HTTP_VERSION_1_0);
  curl_easy_setopt(c, CURLOPT_PROXY, "");  // no proxy for uploads
  curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");
  if (!u.AcceptEncoding.empty()) curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, u.AcceptEncoding.c_str());
  curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);  // an HTTP error status is a failed upload
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnData);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  if (!u.User.empty()) {
    curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(c, CURLOPT_USERNAME, u.User.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, u.Password.c_str());
  }
  curl_slist* headers = nullptr;
  for (const std::string& h : u.Headers) {
    // One line each: a line break would start a header line of its own.
    if (h.find_first_of("\r\n") == std::string::npos) headers = curl_slist_append(headers, h.c_str());
  }
  headers = curl_slist_append(headers, "Expect:");
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  curl_mime* mime = curl_mime_init(c);
  curl_mimepart* part = curl_mime_addpart(mime);
  curl_mime_name(part, u.PartName.c_str());
  curl_mime_filedata(part, u.FilePath.c_str());
  curl_mime_type(part, u.PartType.c_str());
  curl_easy_setopt(c, CURLOPT_MIMEPOST, mime);
  // A redirect is not followed: the upload is not sent twice, nor anywhere else.
  const Outcome res = Perform(c, u.Url, u.TimeoutMs, idle, false, {});
  out.Status = res.status;
  out.Cancelled = idle.cancelled;
  out.Ok = !idle.cancelled && (res.rc == CURLE_OK || (res.rc == CURLE_WRITE_ERROR && sink.capped));
  if (out.Ok) out.Reply = std::move(sink.data);
  else out.Error = res.rc == CURLE_HTTP_RETURNED_ERROR ? "HTTP " + std::to_string(res.status) : curl_easy_strerror(res.rc);
  curl_mime_free(mime);
  curl_slist_free_all(headers);
  curl_easy_cleanup(c);
  return out;
}

bool TTools::HttpGetToFile(const std::string& url, const fs::path& target, int timeoutMs, const std::string& user,
                           const std::string& password) {
  GlobalInit();
  fs::path tmp = target;
  tmp += ".part";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  CURL* c = curl_easy_init();
  if (!c) {
    std::fclose(f);
    std::remove(tmp.c_str());
    return false;
  }
  IdleWatch idle{std::chrono::milliseconds(timeoutMs)};
  CommonOptions(c, timeoutMs, idle);
  curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnFileData);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, f);
  curl_slist* headers = nullptr;
  if (!user.empty() && !password.empty()) {
    std::string h = "Authorization: Basic " + EncodeBase64NoBreaks(user + ":" + password);
    headers = curl_slist_append(headers, h.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  }
  const Outcome res = Perform(c, url, timeoutMs, idle, true, [f] {
    std::fflush(f);
    std::rewind(f);
    (void)::ftruncate(::fileno(f), 0);
  });
  curl_slist_free_all(headers);
  curl_easy_cleanup(c);
  // Only the file itself counts: a redirect that was not followed is no download.
  const bool complete = res.rc == CURLE_OK && res.status >= 200 && res.status <= 299;
  bool ok = std::fclose(f) == 0 && complete;
  std::error_code ec;
  if (ok) fs::rename(tmp, target, ec);
  if (!ok || ec) {
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Files and folders

namespace {

std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

std::string TTools::TempPath() {
  std::error_code ec;
  fs::path p = fs::temp_directory_path(ec);
  if (ec) p = "/tmp";
  return WithSlash(p.string());
}

bool TTools::ForceDirectories(const std::string& path) {
  if (path.empty()) return true;
  std::error_code ec;
  fs::create_directories(path, ec);
  return fs::is_directory(path, ec);
}

void TTools::SplitText(std::string_view text, std::string_view sep, std::vector<std::string>& list) {
  if (sep.empty()) {
    list.emplace_back(text);
    return;
  }
  size_t start = 0;
  for (;;) {
    size_t p = text.find(sep, start);
    if (p == std::string_view::npos) {
      list.emplace_back(text.substr(start));
      return;
    }
    list.emplace_back(text.substr(start, p - start));
    start = p + sep.size();
  }
}

void TTools::FindFiles(std::vector<TFoundFile>& list, const std::string& folder, bool unique,
                       const std::function<bool()>& continueTest, bool recursive, const std::string& masks) {
  std::vector<std::string> maskList;
  SplitText(masks, masks.find(';') != std::string::npos ? ";" : "|", maskList);
  std::string dir = WithSlash(folder);
  std::error_code ec;
  std::vector<fs::path> files, subdirs;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (it->is_directory(e2))
      subdirs.push_back(it->path());
    else if (it->is_regular_file(e2))
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::sort(subdirs.begin(), subdirs.end());
  for (const auto& mask : maskList) {
    if (mask.empty()) continue;
    for (const auto& f : files) {
      std::string name = f.filename().string();
      if (fnmatch(mask.c_str(), name.c_str(), FNM_PERIOD) != 0) continue;
      std::string path = dir + name;
      if (unique && std::any_of(list.begin(), list.end(), [&](const TFoundFile& x) { return x.Path == path; }))
        continue;
      std::error_code e3;
      list.push_back({path, fs::last_write_time(f, e3)});
    }
  }
  if (!recursive) return;
  for (const auto& d : subdirs) {
    if (continueTest && !continueTest()) return;
    FindFiles(list, d.string(), true, continueTest, true, masks);
  }
}

bool TTools::DeleteTree(const std::string& folder, bool removeFolder) {
  std::error_code ec;
  if (removeFolder) {
    fs::remove_all(folder, ec);
    return true;
  }
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    fs::remove_all(it->path(), e2);
  }
  return true;
}

std::string TTools::ModulePath() { return ExecutablePath().string(); }

std::string TTools::AppDir() { return WithSlash(ProgramDir().string()); }

std::string TTools::SpecialFolder(TSpecialFolderId id, bool create) {
  std::string home = Env("HOME");
  if (home.empty()) home = "/tmp";
  std::string dir;
  switch (id) {
    case TSpecialFolderId::AppData:
      dir = Env("XDG_CONFIG_HOME");
      if (dir.empty()) dir = home + "/.config";
      break;
    case TSpecialFolderId::LocalAppData:
      dir = Env("XDG_DATA_HOME");
      if (dir.empty()) dir = home + "/.local/share";
      break;
    case TSpecialFolderId::Personal:
      dir = home;
      break;
  }
  dir = WithSlash(dir);
  if (create) ForceDirectories(dir);
  return dir;
}

std::string TTools::AppDataDir(TSpecialFolderId id, bool create) {
  fs::path exe = ModulePath();
  std::string name = exe.filename().string();
  if (exe.has_extension() && exe.extension().string().size() == 4) name = exe.stem().string();
  if (name.empty()) name = "kestrova";
  std::string dir = SpecialFolder(id, false) + name + "/";
  if (create) ForceDirectories(dir);
  return dir;
}

}  // namespace kestrova
