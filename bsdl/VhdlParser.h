// TVHDLParser: reads the structural subset of VHDL that boundary-scan
// descriptions and simple netlists use (entities with generics, ports, signals,
// attributes and constants; architectures with component declarations, component
// instances and assignments) into description objects, writes a log of what it
// found, and reports the first syntax error with its position: to the caller
// (Error_LineNumber / Error_ColumnNumber / ErrorMessage), to the host's messages
// panel and to the host's text editor.
//
// A reader is made for one document and run once. No error escapes Run: malformed
// input of any kind ends in a recorded error.
#pragma once

#include "bsdl/VhdlObjects.h"
#include "bsdl/VhdlTokenizer.h"

#include <fstream>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace bsdl {

// A syntax error: the message ends in " at Line: L Offset: O" (1-based).
class EVHDLParserError : public std::runtime_error {
public:
    EVHDLParserError(const std::string& message, TVHDLParser* parser, int32_t line, int32_t column);
    TVHDLParser* Parser;
    int32_t Line;
    int32_t Column;
};

class TVHDLParser {
public:
    TVHDLParser(TVHDLEntityList& entities, std::string documentPath);
    virtual ~TVHDLParser();
    TVHDLParser(const TVHDLParser&) = delete;
    TVHDLParser& operator=(const TVHDLParser&) = delete;

    // Reads the document's lines.
    virtual void Run(const std::vector<std::string>& lines);
    // Reads a whole text (lines end with CR, LF or CR LF).
    void RunText(std::string text);

    const std::string& DocumentPath() const { return FDocumentPath; }
    TVHDLEntityList& Entities() const { return FEntities; }

    // The first error: 1-based position (-1 when there was none) and its message.
    int32_t Error_LineNumber = -1;
    int32_t Error_ColumnNumber = -1;
    std::string ErrorMessage;
    bool InArchitecture = false;
    int32_t ProcessingPragma() const { return FTokenizer.ProcessingPragma(); }

    // The log goes to "<temporary folder><LogFileName()>"; tools that read many
    // documents (fuzzing, benchmarks) may switch the file off.
    bool LogToFile = true;
    std::string FinalFN;
    std::string TempFN;

    // 1-based position of the current token (description objects take it when created).
    int32_t CurrentLineNumber() const { return FTokenizer.Line() + 1; }
    int32_t CurrentColumnNumber() const { return FTokenizer.Offset() + 1; }

protected:
    virtual std::unique_ptr<TEntity> CreateEntity();
    virtual void LogLine(const std::string& line);
    virtual std::string LogFileName() const { return "VHDL Parser.log"; }

    // Reading steps. "Peek" looks at the current token without consuming it.
    int PeekReservedWord() const;
    std::string PeekIdentifier() const;
    bool AtEnd() const { return FTokenizer.Kind() == eToken_EndOfText; }
    void Advance() { NextToken(); }
    int NextReservedWord();
    void ExpectReservedWord(int word);
    std::string ExpectIdentifier();
    std::string ExpectIdentifierOrConstant();
    // Consumes tokens until the current one is one of the limit words or the text
    // ends; the texts are joined directly (two limits) or by one blank (three).
    std::string ExpectExpression(int limit1, int limit2);
    std::string ExpectExpression(int limit1, int limit2, int limit3);
    std::vector<std::string> ReadIdentifierList();
    std::vector<std::string> ReadInterfaceElementIdentifierList() { return ReadIdentifierList(); }

    [[noreturn]] void Error(const std::string& message) const;
    [[noreturn]] void ErrorAt(const std::string& message, int32_t line, int32_t column) const;

private:
    void NextToken();
    std::string JoinExpression(std::initializer_list<int> limits, bool blanks);

    void ReadEntity();
    void ReadEntityBody(TEntity& entity);
    void ReadArchitecture();
    void ReadGenericClause(TEntity& entity);
    void ReadPortClause(TEntity& entity);
    void ReadInterfaceList(TEntity& entity, TElementKind kind);
    void ReadInterfaceElement(TEntity& entity, TElementKind kind);
    void ReadAttribute(TEntity& entity);
    void ReadConstant(TEntity& entity);
    void ReadComponentDeclaration(TEntity& entity);
    void ReadStatementPart(TEntity& entity);
    void SkipCompoundStatement(int word);
    void ReadComponentInstance(TEntity& entity, const std::string& name, int32_t line, int32_t column);
    void ReadAssociationList(TEntity& entity, TComponentInstance& instance, bool portMap);
    void ReadRange(std::string& low, std::string& high, int32_t& direction);
    void ReadAssignment(TEntity& entity, const std::string& target, const std::string& targetSlice, int32_t line,
                        int32_t column);

    void OpenLog();
    void CloseLog();
    void ReportError(const std::string& message);

    TVHDLEntityList& FEntities;
    std::string FDocumentPath;
    TVHDLTokenizer FTokenizer;
    std::ofstream FLogFile;
    bool FLogFileOpened = false;
};

// Applies the reader's rule for string values: an expression that begins and
// ends with a quote loses the outer quotes, each quote-"&"-quote joint becomes one
// blank, and the result is trimmed.
std::string JoinStringValue(std::string_view expression);

} // namespace bsdl
