#pragma once
#include "suite/core/clientdataset.h"
#include <QString>
#include <QStringList>
#include <span>

// The application-server module's remote methods, declared once: the server
// dispatches and builds its result packets from this, the client declares its
// datasets from it, and docs/protocol.md's method table is written from it.
namespace remote {

// What a caller may pass in one argument position.
enum class ArgKind {
    Text,          // text by value
    TextByRef,     // text, possibly by reference (the server hands it back)
    Date,          // a date, or a day number counted from 30/12/1899
    TextOrInteger, // an integer, or a text holding one
};

struct ArgDecl {
    const char* role;
    ArgKind kind;
};

struct ResultField {
    const char* name;
    suite::FieldType type;
    int size;              // characters, for String; 0 otherwise
    bool readOnly = false; // on the client's dataset
    const char* note = nullptr;
};

// The calls the server answers itself around a run's reads (no arguments,
// no dataset, an empty packet in reply), apart from the module's methods.
enum class Session { None, BeginRead, EndRead };

struct MethodDecl {
    const char* name; // sent exactly so
    const char* dataset;
    std::span<const ArgDecl> args;
    std::span<const ResultField> fields;
    const char* rows; // what the rows are, for the documentation
    Session session = Session::None;
};

// Every method, in the module's order, then the session calls.
std::span<const MethodDecl> methods();
// The method of that name (exact spelling first, then regardless of case);
// nullptr when there is none.
const MethodDecl* find(const QString& name);
// The declaration of a method known to exist.
const MethodDecl& method(const char* name);

QList<suite::FieldDef> packetFields(std::span<const ResultField> fields);
QList<suite::FieldDecl> datasetFields(std::span<const ResultField> fields);

// The datasets no method loads, with their fields.
struct DatasetDecl {
    const char* name;
    std::span<const ResultField> fields;
};
std::span<const DatasetDecl> unloadedDatasets();

// getcreddeb asks for one movement total: the argument at kCreditsFlag or at
// kDebitsFlag set to kFlagOn, the other empty.
inline constexpr int kCreditsFlag = 3;
inline constexpr int kDebitsFlag = 4;
inline constexpr char kFlagOn[] = "T";

// The Markdown table of docs/protocol.md's methods section (the module's
// methods; the session calls are described apart).
QString markdownTable();

} // namespace remote
