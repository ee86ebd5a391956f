// Loading tables from an XML document: every element below the root names a table and becomes one of
// its rows; attributes fill the columns, references "table:column:key" become identifiers that are
// shared across the document, and key columns inherit values from enclosing or contained elements.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <exception>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "logging/log_core.h"
#include "tablestore/auto_id.h"
#include "tablestore/hash_table.h"
#include "tablestore/number_parsers.h"
#include "tablestore/table_model.h"
#include "tablestore/text_functions.h"

namespace {

constexpr int32_t kIdentifierMapBuckets = 50;

const char* NameOf(const xmlNode* node) {
  return reinterpret_cast<const char*>(node->name);
}

struct Attribute {
  std::string name;
  std::optional<std::string> value;  // none when libxml2 gives no text
};

// An element's attributes in document order, entity references replaced.
std::vector<Attribute> ReadAttributes(xmlNode* element) {
  std::vector<Attribute> attributes;
  for (xmlAttr* attr = element->properties; attr; attr = attr->next) {
    Attribute read{reinterpret_cast<const char*>(attr->name), std::nullopt};
    if (xmlChar* text = xmlNodeListGetString(element->doc, attr->children, 1)) {
      read.value.emplace(reinterpret_cast<const char*>(text));
      xmlFree(text);
    }
    attributes.push_back(std::move(read));
  }
  return attributes;
}

// The first attribute named like `name` without regard to case.
const Attribute* FindAttribute(const std::vector<Attribute>& attributes, const char* name) {
  for (const Attribute& attribute : attributes) {
    if (CompareStringsNoCase(attribute.name.c_str(), name) == 0) return &attribute;
  }
  return nullptr;
}

bool IsElement(const xmlNode* node) {
  return node && node->type == XML_ELEMENT_NODE;
}

// The value of attribute `name` of the nearest enclosing element that has one.
std::optional<std::optional<std::string>> FromEnclosingElement(xmlNode* element, const char* name) {
  for (xmlNode* up = element->parent; IsElement(up); up = up->parent) {
    const std::vector<Attribute> attributes = ReadAttributes(up);
    if (const Attribute* found = FindAttribute(attributes, name)) return found->value;
  }
  return std::nullopt;
}

// Looks below the element, stepping at each level to the second child node, for an element of
// `table` that has attribute `name`.
std::optional<std::optional<std::string>> FromContainedElement(xmlNode* element, const char* table,
                                                               const char* name) {
  for (xmlNode* node = element; node->children && node->children->next;) {
    node = node->children->next;
    if (!IsElement(node) || CompareStringsNoCase(NameOf(node), table) != 0) continue;
    const std::vector<Attribute> attributes = ReadAttributes(node);
    if (const Attribute* found = FindAttribute(attributes, name)) return found->value;
  }
  return std::nullopt;
}

struct InheritedKey {
  std::string column;
  std::optional<std::string> value;
};

// Values of the foreign-key and primary-key columns taken from the surrounding elements.
std::vector<InheritedKey> InheritedKeyValues(xmlNode* element, const TableDefinition& definition) {
  std::vector<InheritedKey> inherited;
  if (!definition.constraints) return inherited;
  const TableConstraints& constraints = *definition.constraints;
  for (const ForeignKeyDefinition& key : constraints.foreignKeys) {
    LogTrace("Column Name : %s\n", key.localColumn.c_str());
    LogTrace("Ref Column  : %s\n", key.referenceColumn.c_str());
    LogTrace("Tablename : %s\n", key.referenceTable.c_str());
    auto value = FromEnclosingElement(element, key.referenceColumn.c_str());
    if (!value)
      value = FromContainedElement(element, key.referenceTable.c_str(), key.referenceColumn.c_str());
    if (value) inherited.push_back({key.localColumn, std::move(*value)});
  }
  for (const std::string& primary : constraints.primaryKeys) {
    LogTrace("Primary key : %s\n\n", primary.c_str());
    LogTrace("Foreign key Constraints\n");
    LogTrace("********************************\n");
    bool isForeign = false;
    for (const ForeignKeyDefinition& key : constraints.foreignKeys) {
      LogTrace("Column Name : %s\n", key.localColumn.c_str());
      if (CompareStringsNoCase(key.localColumn.c_str(), primary.c_str()) == 0) {
        isForeign = true;
        break;
      }
    }
    if (isForeign) continue;
    if (auto value = FromEnclosingElement(element, primary.c_str()))
      inherited.push_back({primary, std::move(*value)});
  }
  return inherited;
}

const InheritedKey* FindInherited(const std::vector<InheritedKey>& inherited, const std::string& column) {
  for (const InheritedKey& key : inherited) {
    if (CompareStringsNoCase(key.column.c_str(), column.c_str()) == 0) return &key;
  }
  return nullptr;
}

// What an attribute's value leaves for the column's default and inherited key value.
enum class Stored {
  Value,             // the attribute decided the column
  ValueReplaceable,  // a default or inherited key value replaces what was stored
  DefaultOnly,       // the column gets its default, no inherited key value
  Failed,
};

bool IsTextLike(uint8_t type) {
  return type == kTypeChar || type == kTypeNChar || type == kTypeBlob || type == kTypeText;
}
bool IsDateOrTime(uint8_t type) {
  return type == kTypeDate || type == kTypeTime || type == kTypeDateTime;
}

class XmlTableLoader {
 public:
  bool Init() { return InitHashTable(identifiers_, kIdentifierMapBuckets); }

  // Visits each node of a sibling chain in document order, and each element's children after it.
  bool WalkSiblings(xmlNode* first) {
    for (xmlNode* node = first; node; node = node->next) {
      if (!IsElement(node)) continue;
      if (!BuildRow(node) || !WalkSiblings(node->children)) return false;
    }
    return true;
  }

 private:
  bool BuildRow(xmlNode* element) {
    const char* name = NameOf(element);
    TableData* table = GetTableDataByName(name);
    if (!table) {
      CreateTable(name);
      table = GetTableDataByName(name);
    }
    if (!table) return FindSubString(name, "List");  // a container of rows, not a row
    try {
      const TableDefinition& definition = *table->definition;
      const std::vector<InheritedKey> inherited = InheritedKeyValues(element, definition);
      const std::vector<Attribute> attributes = ReadAttributes(element);
      const size_t columnCount = static_cast<size_t>(table->columnCount);
      std::vector<std::optional<ColumnValue>> values(columnCount);
      std::vector<int32_t> widths(columnCount, 0);
      for (size_t i = 0; i < columnCount && i < definition.columns.size(); ++i) {
        const ColumnDefinition& column = definition.columns[i];
        Stored stored = Stored::ValueReplaceable;
        if (const Attribute* attribute = FindAttribute(attributes, column.name.c_str())) {
          stored = StoreAttribute(*table, column, attribute->value, values[i], widths[i]);
          if (stored == Stored::Failed) return false;
        }
        if (stored == Stored::Value) continue;
        if (column.defaultValue) {
          values[i] = column.defaultValue;
          widths[i] = column.defaultWidth;
        }
        const InheritedKey* key =
            stored == Stored::ValueReplaceable ? FindInherited(inherited, column.name) : nullptr;
        if (key) {
          std::optional<ColumnValue> value;
          int32_t width = 0;
          if (!AllocateAndCopyColumnValue(value, width, column.type,
                                          key->value ? key->value->c_str() : nullptr)) {
            return false;
          }
          if (value) {
            values[i] = std::move(value);
            widths[i] = width;
          }
        }
      }
      std::unique_ptr<RowObject> row = CreateNewRowObject(std::move(values), std::move(widths));
      return row && AddNewRow(name, std::move(row));
    } catch (const std::exception&) {
      return false;
    }
  }

  // Stores an attribute value v in the column's slot.
  Stored StoreAttribute(const TableData& table, const ColumnDefinition& column,
                        const std::optional<std::string>& v, std::optional<ColumnValue>& value,
                        int32_t& width) {
    const char* text = v ? v->c_str() : nullptr;
    if (CountSubString(text, ":") < 2) {
      return AllocateAndCopyColumnValue(value, width, column.type, text) ? Stored::Value : Stored::Failed;
    }
    const std::vector<std::string> parts = SplitString(text, ":").value();
    if (parts[0] == "Workflow_Statements" && parts[1] == "NEXT_STATEMENT_ID" && parts[2] == "0") {
      value = int32_t{0};
      width = 4;
      return Stored::ValueReplaceable;
    }
    if (IsTextLike(column.type)) {
      const size_t afterSecond = v->find(':', v->find(':') + 1) + 1;
      const std::string rest = v->substr(afterSecond);
      return AllocateAndCopyColumnValue(value, width, column.type, rest.c_str()) ? Stored::Value
                                                                                 : Stored::Failed;
    }
    if (IsDateOrTime(column.type)) {
      return AllocateAndCopyColumnValue(value, width, column.type, text) ? Stored::Value : Stored::Failed;
    }
    int32_t id;
    if (const int32_t* known = GetHashValue(identifiers_, text)) {
      id = *known;
    } else if (column.generatorName) {
      id = GenerateID(table.name.c_str(), column);
    } else if (parts[0].empty() || parts[1].empty()) {
      LogError("Unable to get Column details for AutoID generation \n");
      return Stored::DefaultOnly;
    } else {
      id = ResolveReference(parts[0], parts[1], parts[2]);
    }
    const std::string ownKey = table.name + ":" + column.name + ":" + parts[2];
    if (!PutHashValue(identifiers_, ownKey.c_str(), id) || !PutHashValue(identifiers_, text, id))
      return Stored::Failed;
    value = id;
    width = 4;
    return Stored::Value;
  }

  // The identifier of reference table:column:key: the generator of that column, or of the column its
  // foreign keys lead to; without any generator, the key itself as a number.
  int32_t ResolveReference(std::string table, std::string column, const std::string& key) {
    std::vector<std::pair<std::string, std::string>> chain{{table, column}};
    std::set<std::pair<std::string, std::string>> seen{{table, column}};
    const ColumnDefinition* definition = GetColumnDefnEntry(table.c_str(), column.c_str());
    int32_t id = definition ? GenerateID(table.c_str(), *definition) : -1;
    while (id == -1 && definition) {
      const ForeignKeyDefinition* foreign =
          GetForeignKeyDefinition(GetTableDefinition(table.c_str()), column.c_str());
      if (!foreign) break;
      table = foreign->referenceTable;
      column = foreign->referenceColumn;
      if (!seen.insert({table, column}).second) break;  // a cycle of foreign keys
      chain.emplace_back(table, column);
      definition = GetColumnDefnEntry(table.c_str(), column.c_str());
      id = definition ? GenerateID(table.c_str(), *definition) : -1;
    }
    if (id == -1) return TextToInt32(key.c_str());
    for (const auto& [chainTable, chainColumn] : chain) {
      const std::string chainKey = chainTable + ":" + chainColumn + ":" + key;
      if (const int32_t* known = GetHashValue(identifiers_, chainKey.c_str())) return *known;
      PutHashValue(identifiers_, chainKey.c_str(), id);
    }
    return id;
  }

  HashTable<int32_t> identifiers_;  // reference text -> identifier, for one document
};

struct XmlDocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

}  // namespace

bool LoadTablesFromXMLBuffer(const char* buffer, int length) {
  XmlTableLoader loader;
  if (!loader.Init()) return false;
  std::unique_ptr<xmlDoc, XmlDocDeleter> doc(buffer && length >= 0 ? xmlParseMemory(buffer, length)
                                                                   : nullptr);
  if (!doc) {
    LogError("error: could not parse file file.xml\n");
    return false;
  }
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (root && !loader.WalkSiblings(root->children)) {
    LogError("Cannot create and add a new row while constructing tabledata from XML file.\n");
    LogError("Cannot construct table data from XML buffer.\n");
    return false;
  }
  doc.reset();
  xmlCleanupParser();
  return true;
}
