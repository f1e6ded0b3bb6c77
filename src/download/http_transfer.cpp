// One HTTP exchange of a connection: request, answer head, redirects, body.
#include <algorithm>
#include <cstring>
#include <string>

#include "transfers.h"
#include "http_dial.h"
#include "log_text.h"
#include "lumora/download/answer_head.h"
#include "lumora/download/chunked_decoder.h"
#include "lumora/download/request_head.h"
#include "lumora/text/code_page.h"
#include "transfer_common.h"

namespace lumora {
namespace {

using namespace log_text;

constexpr int kMaxRedirects = 16;
constexpr std::size_t kMaxCookie = 4086;
constexpr std::size_t kHeadStep = 4096;
// Interim answers (100 Continue, 103 Early Hints) read past before the one
// that counts; a server that sends more is not answering.
constexpr int kMaxInterim = 8;

struct HeadRead {
  TransferResult result = TransferResult::kGoOn;  // kGoOn: head complete
  std::size_t head_length = 0;
  std::size_t have = 0;
};

// Reads into the link's buffer until the empty line, in steps of at most
// 4096 bytes; bytes past the head stay in the buffer. The buffer may hold
// `have` bytes of it already.
HeadRead read_head(Link& link, Socket& socket, std::size_t have) {
  HeadRead h;
  h.have = have;
  const int timeout = link.task.param().receive_timeout_ms;
  for (;;) {
    h.head_length = answer_head_end(std::string_view(link.buffer, h.have));
    if (h.head_length > kMaxAnswerHead || (h.head_length == 0 && h.have >= kMaxAnswerHead)) {
      link.task.report_trouble({FailureKind::kConnectionLost, gbk(kHeadTooLong)});
      h.result = TransferResult::kFatal;
      return h;
    }
    if (h.head_length > 0) return h;
    std::size_t got = 0;
    const std::size_t room = std::min(kHeadStep, kConnectionBuffer - h.have);
    const IoStatus s = socket.receive(link.buffer + h.have, room, got, timeout, link.marks);
    if (s == IoStatus::kClosed) {
      link.task.report_trouble({FailureKind::kConnectionLost, gbk(kReceiveError)});
      h.result = TransferResult::kRetry;
      return h;
    }
    if (s != IoStatus::kOk) {
      h.result = io_failure(link, s, false);
      return h;
    }
    h.have += got;
  }
}

bool interim(int status) { return status >= 100 && status <= 199 && status != 101; }

// The head of the answer that counts, interim ones logged and dropped.
HeadRead read_final_head(Link& link, Socket& socket) {
  HeadRead h = read_head(link, socket, 0);
  for (int read_past = 0; h.result == TransferResult::kGoOn; ++read_past) {
    const std::string_view head(link.buffer, h.head_length);
    if (!interim(parse_answer_head(head).status)) break;
    link.task.log(kLogReceived, Text(head));
    if (read_past == kMaxInterim) {
      link.task.report_trouble({FailureKind::kBadAnswer, gbk(kBadAnswer)});
      h.result = TransferResult::kFatal;
      break;
    }
    const std::size_t rest = h.have - h.head_length;
    std::memmove(link.buffer, link.buffer + h.head_length, rest);
    h = read_head(link, socket, rest);
  }
  return h;
}

TransferResult status_failure(Link& link, int status) {
  if (status == 400 || status == 403 || status == 404) {
    link.task.report_trouble({FailureKind::kHttpStatus, gbk(kHttpError), status});
    return TransferResult::kFatal;
  }
  link.task.report_trouble({FailureKind::kHttpStatus,
                            format_log(gbk(kUnsupportedStatus), {std::to_string(status)}), status});
  // A server error may pass; any other answer will not change on a retry.
  return status >= 500 && status <= 599 ? TransferResult::kRetry : TransferResult::kFatal;
}

// The first answer of the task: learn the size, make the file, take piece 0.
TransferResult first_answer(Link& link, const AnswerHead& a, std::int64_t& body_end) {
  std::int64_t size = a.size;
  body_end = size;
  if (a.status == 206) {
    const auto range = parse_content_range(a.content_range);
    size = range && range->first == 0 ? range->total : -1;
    body_end = range ? range->last + 1 : -1;
  }
  if (size < 0) {
    link.task.report_trouble({FailureKind::kNoSize, gbk(kNoSize)});
    return TransferResult::kFatal;
  }
  link.task.note_validators(a.etag, a.last_modified);
  std::size_t piece = 0;
  if (!link.task.on_size_known(link.id, size, disposition_file_name(a.content_disposition),
                               link.task.param().connections, piece))
    return TransferResult::kFatal;
  link.piece = piece;
  return TransferResult::kGoOn;
}

// The credentials of the task's address, for a request to its own origin
// only: a redirect elsewhere never takes them along. The address carries
// them percent-encoded; Basic carries the bytes they stand for.
std::optional<Text> credentials_for(const Address& task, const Address& request) {
  if (!task.has_user || !same_origin(task, request)) return std::nullopt;
  return percent_decoded(task.user) + ":" + percent_decoded(task.password);
}

enum class Fit { kFits, kRetry, kNever };

// Checks that a piece answer fits the request; gives the file offsets of
// the body's first byte and of the byte past its last.
Fit piece_answer_fits(Link& link, const AnswerHead& a, std::int64_t asked,
                      std::int64_t& body_offset, std::int64_t& body_end) {
  const std::int64_t size = link.task.size();
  body_end = size;
  if (a.status == 206 && !a.content_range.empty()) {
    const auto range = parse_content_range(a.content_range);
    body_offset = range ? range->first : -1;
    if (range) body_end = range->last + 1;
    // Another total means another file under the same address: no retry
    // can make its bytes fit the ones already stored.
    if (range && range->total >= 0 && range->total != size) return Fit::kNever;
    return range && range->first == asked ? Fit::kFits : Fit::kRetry;
  }
  // 200, or 206 without a range: the whole file again, or something that
  // cannot be placed. A whole file's start is read past, never stored here.
  // A 200 that does not say its length cannot be told from a part of the
  // file, so it is not taken as the whole file.
  body_offset = 0;
  const std::int64_t length = a.status == 200 ? a.size : a.content_length;
  if (a.status == 206 && length != size) return Fit::kNever;
  if (length != size) return Fit::kRetry;
  link.task.note_ranges_ignored();
  return Fit::kFits;
}

TransferResult exchange(Link& link, Address& address, std::optional<Text>& cookie,
                        bool& redirected) {
  ExchangeTask& task = link.task;
  const TaskParam& p = task.param();
  std::optional<Address> proxy;
  if (p.proxy) {
    proxy = parse_address("http://" + *p.proxy + "/");
    if (!proxy) {
      task.report_trouble(
          {FailureKind::kResolveFailed, format_log(gbk(kProxyResolveFailed), {*p.proxy})});
      return TransferResult::kFatal;
    }
  }
  Socket socket;
  bool absolute_form = false;
  const TransferResult dialled = dial_http(link, socket, address, proxy, absolute_form);
  if (dialled != TransferResult::kGoOn) return dialled;

  std::optional<std::int64_t> asked;
  if (link.piece) asked = task.piece(*link.piece).next_offset();
  const Text head = request_head({.address = &address,
                                  .referer = p.referer ? p.referer : default_referer(p.url),
                                  .range_from = asked,
                                  .cookie = cookie,
                                  .if_range = asked ? task.resume_validator() : std::nullopt,
                                  .credentials = credentials_for(task.address(), address),
                                  .via_proxy = absolute_form});
  task.log(kLogSent, loggable_head(head));
  const IoStatus sent = socket.send_all(head, p.send_timeout_ms, link.marks);
  if (sent != IoStatus::kOk) {
    if (sent == IoStatus::kStopped) return TransferResult::kStopped;
    task.report_trouble({FailureKind::kConnectionLost, gbk(kSendRequestFailed)});
    return TransferResult::kRetry;
  }
  const HeadRead h = read_final_head(link, socket);
  if (h.result != TransferResult::kGoOn) return h.result;
  const std::string_view head_text(link.buffer, h.head_length);
  task.log(kLogReceived, Text(head_text));
  const AnswerHead a = parse_answer_head(head_text);
  const std::string_view early(link.buffer + h.head_length, h.have - h.head_length);
  if (a.length_bad && (a.status == 200 || a.status == 206)) {
    // Like any answer that cannot be used: the attempt fails, the work
    // stored by this and the other connections stays.
    task.report_trouble({FailureKind::kBadAnswer, gbk(kBadLength)});
    return TransferResult::kRetry;
  }

  if (a.status == 301 || a.status == 302) {
    if (a.location.empty()) {
      task.report_trouble({FailureKind::kBadRedirect, gbk(kRedirectMissing)});
      return TransferResult::kFatal;
    }
    const Text value = a.set_cookie.substr(0, a.set_cookie.find(';'));
    std::optional<Address> next = resolve_location(address, a.location);
    task.log(kLogError, format_log(gbk(kRedirected), {referable(next ? next->whole() : a.location)}));
    if (value.size() > kMaxCookie || !next) {
      task.report_trouble({FailureKind::kBadRedirect, gbk(kRedirectBad)});
      return TransferResult::kFatal;
    }
    address = *next;
    cookie = value.empty() ? std::nullopt : std::optional<Text>(value);
    redirected = true;
    return TransferResult::kRetry;
  }
  // 416: the file shrank below the stored bytes.
  const bool answers_resume = a.status == 200 || a.status == 206 || a.status == 416;
  if (link.piece && answers_resume && task.resume_pending() && !task.confirm_resume(a, *asked)) {
    // The stored bytes do not fit this file any more: start over, with this
    // answer when it is the whole file with its length, else with a new
    // request (a plain one tells the length when a stale range's answer
    // does not).
    link.piece.reset();
    if (a.status != 200 || a.size < 0) {
      redirected = true;
      return TransferResult::kRetry;
    }
  }
  if (a.status != 200 && a.status != 206) return status_failure(link, a.status);

  BodyFrame frame;
  if (!link.piece) {
    const TransferResult r = first_answer(link, a, frame.end);
    if (r != TransferResult::kGoOn) return r;
  } else if (!task.same_version(a)) {
    return TransferResult::kStopped;  // the task starts over, or fails
  } else if (const Fit fit = piece_answer_fits(link, a, *asked, frame.offset, frame.end);
             fit != Fit::kFits) {
    task.report_trouble({FailureKind::kConnectionLost, gbk(kPositionError)});
    return fit == Fit::kNever ? TransferResult::kFatal : TransferResult::kRetry;
  }
  // The transfer coding frames the body whatever Content-Length says; that
  // length still has to match the size, and the decoded bytes are checked
  // against the range like any others.
  ChunkedDecoder chunks;
  if (a.chunked) frame.chunks = &chunks;
  // The first answer (from 0), or one that answered the Range.
  frame.ranged = frame.offset == task.piece(*link.piece).next_offset() &&
                 (a.status == 206 || !asked);
  return receive_body(link, socket, frame, early);
}

}  // namespace

TransferResult http_transfer(Link& link) {
  Address address = link.task.address();
  std::optional<Text> cookie;
  for (int redirects = 0;; ++redirects) {
    bool redirected = false;
    const TransferResult r = exchange(link, address, cookie, redirected);
    if (!redirected) return r;
    if (redirects == kMaxRedirects) {
      link.task.report_trouble({FailureKind::kBadRedirect, gbk(kRedirectMissing)});
      return TransferResult::kFatal;
    }
  }
}

}  // namespace lumora
