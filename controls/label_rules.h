#pragma once

// The drawing rules of the self-painting label that do not depend on a
// window toolkit: which text-drawing flags a static control's style asks
// for, and how a two-colour gradient is cut into bands.

#include <cstdint>
#include <string_view>
#include <vector>

// Alignment styles of a static control (the low five bits) and the
// centre-image bit, as dialog templates carry them.
constexpr uint32_t kSsLeft = 0x0;
constexpr uint32_t kSsCenter = 0x1;
constexpr uint32_t kSsRight = 0x2;
constexpr uint32_t kSsLeftNoWordWrap = 0xC;
constexpr uint32_t kSsCenterImage = 0x200;

// Text drawing flags.
constexpr uint32_t kDtLeft = 0x0;
constexpr uint32_t kDtCenter = 0x1;
constexpr uint32_t kDtRight = 0x2;
constexpr uint32_t kDtVCenter = 0x4;
constexpr uint32_t kDtWordBreak = 0x10;
constexpr uint32_t kDtSingleLine = 0x20;
constexpr uint32_t kDtExpandTabs = 0x40;

/// The notification code a label sends its parent when clicked.
constexpr int kLabelClickedCode = 0x8200;
/// A gradient background is painted in at most this many bands.
constexpr int kMaxGradientBands = 100;
/// The blink period of a blinking label, in milliseconds.
constexpr int kBlinkMilliseconds = 500;

namespace label {

/// An opaque colour by its three channels.
struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

/// The drawing flags a label uses for `text` under the control style `style`.
uint32_t DrawFlags(uint32_t style, std::string_view text);

/// One vertical band of a gradient fill: pixels left..right-1.
struct Band {
  int left;
  int right;
  Rgb colour;
};

/// Cuts [left, right) into at most `maxBands` bands of whole pixels, from
/// `from` towards `to` in integer steps of 1/256 of a channel unit. The last
/// band reaches `right`; its colour is `from` plus (bands - 1) steps, so `to`
/// itself is never painted.
std::vector<Band> GradientBands(Rgb from, Rgb to, int left, int right, int maxBands);

}  // namespace label
