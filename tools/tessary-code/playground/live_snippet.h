#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tessary/platform/html_renderer.h"

namespace tessary::tool {

// The snippet as the pages show it, line by line, under a version that every change raises. A
// new build becomes the patch that takes a page from the last version to it, so a change sends
// the lines it touched rather than the whole snippet; an edit a page sends against a recent
// version becomes the whole text that page shows.
//
// A patch is a list of hunks, each replacing `removed` lines from `start` on with `lines`,
// applied in order; a hunk's start counts the lines as the hunks before it left them.
class LiveSnippet {
 public:
  struct Hunk {
    std::size_t start = 0;
    std::size_t removed = 0;
    std::vector<std::string> lines;
  };

  // Takes a build's lines and plain text; the patch from the last version to it, or none when it
  // shows the same.
  std::optional<nlohmann::json> update(platform::HtmlRenderer::Lines lines, std::string text,
                                       std::string_view platform);
  // Everything a page needs to show the current version, as compact JSON.
  std::string snapshot() const;

  // True when the text of `version` can still be had: the current one or a recent one.
  bool knows(std::uint64_t version) const;
  // The text of version `base` with `edit` applied: the text a page showing that version sends
  // when it changed those lines. None when `base` is not known or `edit` lies outside it.
  std::optional<std::string> editedText(std::uint64_t base, const Hunk& edit) const;
  // The current version's text.
  const std::string& text() const;
  std::uint64_t version() const { return version_; }

 private:
  // What takes the text of `version` + 1 back to `version`.
  struct Step {
    std::uint64_t version = 0;
    std::vector<Hunk> back;
    std::size_t bytes = 0;
  };

  // Lines kept in one text, with where each starts, so that a snippet of many lines is held in
  // one allocation and compared in place.
  struct LineList {
    std::string text;
    std::vector<std::size_t> starts;
    std::size_t separator = 0;  // the bytes between two lines

    std::size_t size() const { return starts.size(); }
    std::string_view operator[](std::size_t line) const;
    std::vector<std::string> copy(std::size_t from, std::size_t count) const;
  };
  static LineList splitLines(std::string text);
  template <typename Lines>
  static std::optional<std::string> editedText(const Lines& shown, const Hunk& edit);

  void remember(Step step);

  LineList html_;
  LineList text_;
  std::string css_;
  std::string platform_;
  std::uint64_t version_ = 0;
  std::deque<Step> steps_;  // the newest last
  std::size_t stepBytes_ = 0;
};

}  // namespace tessary::tool
