#include "effect_writer.h"

#include <cmath>
#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

#include "tessary/platform/fatal_error.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/formatters.h"
#include "tessary/store/property_table.h"

namespace tessary::store {

namespace {

using Json = nlohmann::json;
using Row = PropertyTable::Row;
using Kind = PropertyTable::Kind;

std::string jsonString(std::string_view text) {
  return Json(std::string(text)).dump(-1, ' ', false, Json::error_handler_t::replace);
}

class Writer {
 public:
  std::string write(const LayerConfig& layer) {
    out_ += "{\n";
    out_ += "  \"tessaryEffect\": " + std::to_string(EffectFile::version) + ",\n";
    out_ += "  \"layer\": {";
    properties(layer, nullptr, 4);
    out_ += "\n  }\n}\n";
    return std::move(out_);
  }

 private:
  void startLine(int indent) {
    if (!out_.empty() && out_.back() != '\n') out_ += '\n';
    out_.append(static_cast<std::size_t>(indent), ' ');
  }

  void number(double value) { out_ += EffectWriter::numberText(value); }

  void key(std::string_view name) {
    out_ += '"';
    out_ += name;
    out_ += "\": ";
  }

  // A plain number when the slider has the property's own bounds.
  void limitedValue(const LimitedValue& value, const LimitedValue& defaults) {
    if (value.min == defaults.min && value.max == defaults.max) {
      number(value.value);
      return;
    }
    out_ += "{\"value\": ";
    number(value.value);
    out_ += ", \"min\": ";
    number(value.min);
    out_ += ", \"max\": ";
    number(value.max);
    out_ += "}";
  }

  void color(double red, double green, double blue, double alpha) {
    out_ += "{\"red\": ";
    number(red);
    out_ += ", \"green\": ";
    number(green);
    out_ += ", \"blue\": ";
    number(blue);
    out_ += ", \"alpha\": ";
    number(alpha);
    out_ += "}";
  }

  // The properties of the layer, or of `cell` when given, one line each at `indent`; rows of one
  // file object are written together as that object.
  void properties(const LayerConfig& layer, const CellConfig* cell, int indent) {
    const AnyKeyPath::Root root = cell ? AnyKeyPath::Root::cell : AnyKeyPath::Root::layer;
    const Row* previous = nullptr;
    bool objectOpen = false;
    bool first = true;
    for (const Row& row : PropertyTable::rows()) {
      if (row.path.root() != root) continue;
      const bool inObject = !row.fileObject.empty();
      const bool continuesObject = inObject && previous && previous->fileObject == row.fileObject;
      previous = &row;
      if (continuesObject) {
        out_ += ", ";
      } else {
        if (!EffectWriter::isWritten(row, cell)) continue;
        if (objectOpen) out_ += "}";
        if (!first) out_ += ",";
        first = false;
        if (row.besidePrevious) {
          out_ += " ";
        } else {
          startLine(indent);
        }
        objectOpen = inObject;
        if (inObject) {
          key(row.fileObject);
          out_ += "{";
        }
      }
      key(row.fileKey);
      value(row, layer, cell, indent);
    }
    if (objectOpen) out_ += "}";
  }

  void value(const Row& row, const LayerConfig& layer, const CellConfig* cell, int indent) {
    switch (row.kind) {
      case Kind::number:
        limitedValue(cell ? cell->*row.cellNumber : layer.*row.layerNumber, row.defaults);
        return;
      case Kind::color:
        if (cell) {
          color(cell->colorRed, cell->colorGreen, cell->colorBlue, cell->colorAlpha);
        } else {
          color(layer.backgroundRed, layer.backgroundGreen, layer.backgroundBlue,
                layer.backgroundAlpha);
        }
        return;
      case Kind::text:
      case Kind::texture:
      case Kind::emitterShape:
      case Kind::emitterMode:
      case Kind::renderMode:
        out_ += EffectWriter::scalarText(row, layer, cell);
        return;
      case Kind::cellList:
        cellList(layer, cell ? cell->subcells : layer.cells, indent);
        return;
    }
  }

  void cellList(const LayerConfig& layer, const std::vector<CellConfigRef>& cells, int indent) {
    if (cells.empty()) {
      out_ += "[]";
      return;
    }
    out_ += "[";
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out_ += ",";
      startLine(indent + 2);
      out_ += "{";
      properties(layer, cells[i].get(), indent + 4);
      startLine(indent + 2);
      out_ += "}";
    }
    startLine(indent);
    out_ += "]";
  }

  std::string out_;
};

}  // namespace

std::string EffectWriter::write(const LayerConfig& layer) {
  return Writer().write(layer);
}

std::string EffectWriter::numberText(double value) {
  if (!std::isfinite(value)) platform::fatalError("an effect holds a number that is not finite");
  return shortestDecimal(value);
}

bool EffectWriter::isWritten(const Row& row, const CellConfig* cell) {
  if (row.kind != Kind::texture) return true;
  return cell->contentUrl || (cell->contentsUrl && cell->contentsUrl->absoluteString() == "None");
}

std::string EffectWriter::scalarText(const Row& row, const LayerConfig& layer,
                                     const CellConfig* cell) {
  switch (row.kind) {
    case Kind::text:
      return jsonString(cell->name);
    case Kind::texture:
      return cell->contentUrl ? jsonString(cell->contentUrl->absoluteString()) : "null";
    case Kind::emitterShape:
      return jsonString(rawValue(layer.emitterShape));
    case Kind::emitterMode:
      return jsonString(rawValue(layer.emitterMode));
    case Kind::renderMode:
      return jsonString(description(layer.renderMode));
    case Kind::number:
    case Kind::color:
    case Kind::cellList:
      break;
  }
  platform::fatalError("a value of many parts asked for as one");
}

}  // namespace tessary::store
