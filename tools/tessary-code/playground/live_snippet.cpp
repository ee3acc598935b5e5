#include "live_snippet.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tessary::tool {

namespace {

using json = nlohmann::json;

// Pages edit against the version they show, which may lag the newest by the builds on their way
// to them; older versions are given up, the oldest first, past these bounds.
constexpr std::size_t kMaxSteps = 64;
constexpr std::size_t kMaxStepBytes = 16 * 1024 * 1024;

void applyHunks(std::vector<std::string>& lines, const std::vector<LiveSnippet::Hunk>& hunks) {
  for (const LiveSnippet::Hunk& hunk : hunks) {
    const auto at = lines.begin() + static_cast<std::ptrdiff_t>(hunk.start);
    const std::size_t kept = std::min(hunk.removed, hunk.lines.size());
    std::copy_n(hunk.lines.begin(), kept, at);
    const auto rest = at + static_cast<std::ptrdiff_t>(kept);
    lines.erase(rest, rest + static_cast<std::ptrdiff_t>(hunk.removed - kept));
    lines.insert(rest, hunk.lines.begin() + static_cast<std::ptrdiff_t>(kept), hunk.lines.end());
  }
}

// The stretches of lines that differ between an old and a new text: the lines between their
// common beginning and common end as one stretch; where as many lines stand there on both sides,
// each run of differing lines on its own, so that two distant changes stay two small ones.
struct Stretch {
  std::size_t start;
  std::size_t removed;
  std::size_t added;
};

template <typename Differs>
std::vector<Stretch> differingStretches(std::size_t oldCount, std::size_t newCount,
                                        Differs differs) {
  const std::size_t shorter = std::min(oldCount, newCount);
  std::size_t prefix = 0;
  while (prefix < shorter && !differs(prefix, prefix)) ++prefix;
  std::size_t suffix = 0;
  while (suffix < shorter - prefix && !differs(oldCount - 1 - suffix, newCount - 1 - suffix)) {
    ++suffix;
  }
  const std::size_t removed = oldCount - prefix - suffix;
  const std::size_t added = newCount - prefix - suffix;
  if (removed != added) return {{prefix, removed, added}};
  std::vector<Stretch> stretches;
  for (std::size_t line = prefix; line < prefix + removed; ++line) {
    if (!differs(line, line)) continue;
    if (!stretches.empty() && stretches.back().start + stretches.back().removed == line) {
      ++stretches.back().removed;
      ++stretches.back().added;
    } else {
      stretches.push_back({line, 1, 1});
    }
  }
  return stretches;
}

// Appends lines `from` to `to` of `lines` to `out`, which holds `written` lines so far.
template <typename Lines>
void appendLines(std::string& out, std::size_t& written, const Lines& lines, std::size_t from,
                 std::size_t to) {
  for (std::size_t line = from; line < to; ++line) {
    if (written++ > 0) out += '\n';
    out += lines[line];
  }
}

}  // namespace

std::string_view LiveSnippet::LineList::operator[](std::size_t line) const {
  const std::size_t end = line + 1 < starts.size() ? starts[line + 1] - separator : text.size();
  return std::string_view(text).substr(starts[line], end - starts[line]);
}

std::vector<std::string> LiveSnippet::LineList::copy(std::size_t from, std::size_t count) const {
  std::vector<std::string> lines;
  lines.reserve(count);
  for (std::size_t line = from; line < from + count; ++line) lines.emplace_back((*this)[line]);
  return lines;
}

LiveSnippet::LineList LiveSnippet::splitLines(std::string text) {
  LineList lines{.text = std::move(text), .starts = {0}, .separator = 1};
  for (std::size_t lineFeed = lines.text.find('\n'); lineFeed != std::string::npos;
       lineFeed = lines.text.find('\n', lineFeed + 1)) {
    lines.starts.push_back(lineFeed + 1);
  }
  return lines;
}

std::optional<json> LiveSnippet::update(platform::HtmlRenderer::Lines lines, std::string text,
                                        std::string_view platform) {
  LineList newHtml{
      .text = std::move(lines.html), .starts = std::move(lines.starts), .separator = 0};
  LineList newText = splitLines(std::move(text));
  const std::vector<Stretch> stretches =
      differingStretches(html_.size(), newHtml.size(), [&](std::size_t from, std::size_t to) {
        return html_[from] != newHtml[to] || text_[from] != newText[to];
      });
  if (stretches.empty() && lines.css == css_ && platform == platform_) return std::nullopt;

  Step step{.version = version_, .back = {}, .bytes = 0};
  json hunks = json::array();
  for (const Stretch& stretch : stretches) {
    step.back.push_back({stretch.start, stretch.added, text_.copy(stretch.start, stretch.removed)});
    for (const std::string& line : step.back.back().lines) step.bytes += line.size() + 32;
    hunks.push_back({{"start", stretch.start},
                     {"removed", stretch.removed},
                     {"lines", newHtml.copy(stretch.start, stretch.added)}});
  }
  remember(std::move(step));
  json patch{{"from", version_}, {"version", ++version_}, {"hunks", std::move(hunks)}};
  if (lines.css != css_) patch["css"] = lines.css;
  if (platform != platform_) patch["platform"] = platform;
  html_ = std::move(newHtml);
  text_ = std::move(newText);
  css_ = std::move(lines.css);
  platform_ = platform;
  return patch;
}

std::string LiveSnippet::snapshot() const {
  // Written line by line: the lines made into one JSON value first would hold them twice more.
  const auto jsonString = [](std::string_view value) {
    return json(value).dump(-1, ' ', false, json::error_handler_t::replace);
  };
  std::string out = R"({"version":)" + std::to_string(version_) + R"(,"css":)" + jsonString(css_) +
                    R"(,"platform":)" + jsonString(platform_) + R"(,"lines":[)";
  out.reserve(out.size() + html_.text.size() + html_.size() * 8 + 2);
  for (std::size_t line = 0; line < html_.size(); ++line) {
    if (line > 0) out += ',';
    out += jsonString(html_[line]);
  }
  out += "]}";
  return out;
}

bool LiveSnippet::knows(std::uint64_t version) const {
  return version == version_ ||
         (version < version_ && !steps_.empty() && steps_.front().version <= version);
}

std::optional<std::string> LiveSnippet::editedText(std::uint64_t base, const Hunk& edit) const {
  if (!knows(base)) return std::nullopt;
  if (base == version_) return editedText(text_, edit);
  std::vector<std::string> older = text_.copy(0, text_.size());
  for (auto step = steps_.rbegin(); step != steps_.rend() && step->version >= base; ++step) {
    applyHunks(older, step->back);
  }
  return editedText(older, edit);
}

template <typename Lines>
std::optional<std::string> LiveSnippet::editedText(const Lines& shown, const Hunk& edit) {
  if (edit.start > shown.size() || edit.removed > shown.size() - edit.start) return std::nullopt;
  std::string text;
  std::size_t written = 0;
  appendLines(text, written, shown, 0, edit.start);
  appendLines(text, written, edit.lines, 0, edit.lines.size());
  appendLines(text, written, shown, edit.start + edit.removed, shown.size());
  return text;
}

const std::string& LiveSnippet::text() const {
  return text_.text;
}

void LiveSnippet::remember(Step step) {
  stepBytes_ += step.bytes;
  steps_.push_back(std::move(step));
  while (steps_.size() > kMaxSteps || (stepBytes_ > kMaxStepBytes && steps_.size() > 1)) {
    stepBytes_ -= steps_.front().bytes;
    steps_.pop_front();
  }
}

}  // namespace tessary::tool
