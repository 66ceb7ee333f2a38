#pragma once
// Owners of libcurl handles: each handle is freed exactly once, on every path.

#include <curl/curl.h>

#include <memory>

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlMultiDeleter {
  void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct CurlSlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct CurlUrlDeleter {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
struct CurlStringDeleter {
  void operator()(char* text) const { curl_free(text); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;
using CurlString = std::unique_ptr<char, CurlStringDeleter>;

// Initialises libcurl once per process (thread-safe); false when it failed.
bool EnsureCurlInitialised();

// A new easy handle (libcurl initialised first); empty when none could be made.
CurlEasy MakeCurlEasy();

// An easy handle added to a multi handle for the time of one transfer.
class CurlMultiAttachment {
 public:
  CurlMultiAttachment(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
    attached_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
  }
  ~CurlMultiAttachment() {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
  }
  CurlMultiAttachment(const CurlMultiAttachment&) = delete;
  CurlMultiAttachment& operator=(const CurlMultiAttachment&) = delete;
  bool attached() const { return attached_; }

 private:
  CURLM* multi_;
  CURL* easy_;
  bool attached_ = false;
};
