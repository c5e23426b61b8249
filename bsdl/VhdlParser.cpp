#include "bsdl/VhdlParser.h"

#include "host/HostAccess.h"
#include "host/HostFiles.h"
#include "host/HostServices.h"
#include "host/ParameterList.h"

#include <cstdio>

namespace bsdl {

namespace {

constexpr int32_t kStatusBarPanel = 3;
constexpr int32_t kNoImage = -1; // the shared image list is not part of this library yet

std::string PositionSuffix(int32_t line, int32_t column)
{
    return " at Line: " + std::to_string(line) + " Offset: " + std::to_string(column);
}

std::string_view Trim(std::string_view text)
{
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

bool IsEntityClass(int word)
{
    switch (word) {
    case w_architecture:
    case w_component:
    case w_configuration:
    case w_constant:
    case w_entity:
    case w_function:
    case w_label:
    case w_literal:
    case w_package:
    case w_procedure:
    case w_signal:
    case w_subtype:
    case w_type:
    case w_units:
    case w_variable: return true;
    default: return false;
    }
}

TPinElectrical ModeOf(int word)
{
    switch (word) {
    case w_in: return eElectricInput;
    case w_out: return eElectricOutput;
    case w_buffer: return eElectricOpenCollector;
    case w_inout:
    case w_linkage:
    default: return eElectricIO;
    }
}

} // namespace

std::string JoinStringValue(std::string_view expression)
{
    if (expression.size() < 2 || expression.front() != '"' || expression.back() != '"')
        return std::string(Trim(expression));
    const std::string_view inner = expression.substr(1, expression.size() - 2);
    std::string joined;
    joined.reserve(inner.size());
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '"' && i + 2 < inner.size() && inner[i + 1] == '&' && inner[i + 2] == '"') {
            joined += ' ';
            i += 2;
            continue;
        }
        joined += inner[i];
    }
    return std::string(Trim(joined));
}

EVHDLParserError::EVHDLParserError(const std::string& message, TVHDLParser* parser, int32_t line, int32_t column)
    : std::runtime_error(message + PositionSuffix(line, column)), Parser(parser), Line(line), Column(column)
{
}

TVHDLParser::TVHDLParser(TVHDLEntityList& entities, std::string documentPath)
    : FEntities(entities), FDocumentPath(std::move(documentPath))
{
}

TVHDLParser::~TVHDLParser() { CloseLog(); }

std::unique_ptr<TEntity> TVHDLParser::CreateEntity() { return std::make_unique<TEntity>(this); }

// --- Log ----------------------------------------------------------------------

void TVHDLParser::OpenLog()
{
    if (!LogToFile) return;
    FinalFN = hostaccess::GetTempFolder() + LogFileName();
    TempFN = hostaccess::CreateTempFile();
    if (TempFN.empty()) return;
    FLogFile.open(TempFN, std::ios::binary | std::ios::trunc);
    FLogFileOpened = FLogFile.is_open();
}

void TVHDLParser::CloseLog()
{
    if (!FLogFileOpened) return;
    FLogFile.close();
    FLogFileOpened = false;
    try {
        hostaccess::ReplaceHostFile(TempFN, FinalFN);
    } catch (...) {
        // The log is a convenience; a log that cannot be moved is dropped.
        std::remove(TempFN.c_str());
    }
}

void TVHDLParser::LogLine(const std::string& line)
{
    if (FLogFileOpened) FLogFile << line << '\n';
}

// --- Tokens -------------------------------------------------------------------

void TVHDLParser::NextToken()
{
    try {
        FTokenizer.NextSignificant();
    } catch (const TPragmaError& e) {
        ErrorAt("Expected " + e.Word, e.Line + 1, e.Offset + 1);
    }
}

void TVHDLParser::Error(const std::string& message) const
{
    ErrorAt(message, CurrentLineNumber(), CurrentColumnNumber());
}

void TVHDLParser::ErrorAt(const std::string& message, int32_t line, int32_t column) const
{
    throw EVHDLParserError(message, const_cast<TVHDLParser*>(this), line, column);
}

int TVHDLParser::PeekReservedWord() const { return FTokenizer.Word(); }

std::string TVHDLParser::PeekIdentifier() const
{
    return FTokenizer.Kind() == eToken_Symbol ? std::string(FTokenizer.TokenText()) : std::string();
}

int TVHDLParser::NextReservedWord()
{
    const int word = PeekReservedWord();
    NextToken();
    return word;
}

void TVHDLParser::ExpectReservedWord(int word)
{
    if (PeekReservedWord() != word) Error("Expected " + std::string(VHDLWordText(word)));
    NextToken();
}

std::string TVHDLParser::ExpectIdentifier()
{
    if (FTokenizer.Kind() != eToken_Symbol) Error("Identifier Expected");
    std::string text(FTokenizer.TokenText());
    NextToken();
    return text;
}

std::string TVHDLParser::ExpectIdentifierOrConstant()
{
    switch (FTokenizer.Kind()) {
    case eToken_Symbol:
    case eToken_String:
    case eToken_Integer:
    case eToken_Float: break;
    default: Error("Identifier or Constant Expected");
    }
    std::string text(FTokenizer.TokenText());
    NextToken();
    return text;
}

std::string TVHDLParser::JoinExpression(std::initializer_list<int> limits, bool blanks)
{
    std::string text;
    while (!AtEnd()) {
        const int word = PeekReservedWord();
        if (word != w_None)
            for (int limit : limits)
                if (word == limit) return text;
        if (blanks && !text.empty()) text += ' ';
        text += FTokenizer.TokenText();
        NextToken();
    }
    return text;
}

std::string TVHDLParser::ExpectExpression(int limit1, int limit2) { return JoinExpression({limit1, limit2}, false); }

std::string TVHDLParser::ExpectExpression(int limit1, int limit2, int limit3)
{
    return JoinExpression({limit1, limit2, limit3}, true);
}

std::vector<std::string> TVHDLParser::ReadIdentifierList()
{
    std::vector<std::string> names{ExpectIdentifier()};
    while (PeekReservedWord() == w_Comma) {
        NextToken();
        names.push_back(ExpectIdentifier());
    }
    return names;
}

// --- Run ----------------------------------------------------------------------

void TVHDLParser::Run(const std::vector<std::string>& lines)
{
    std::string text;
    size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 1;
    text.reserve(size);
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    RunText(std::move(text));
}

void TVHDLParser::RunText(std::string text)
{
    Error_LineNumber = -1;
    Error_ColumnNumber = -1;
    ErrorMessage.clear();
    InArchitecture = false;
    FTokenizer.SetText(std::move(text));
    OpenLog();
    try {
        NextToken();
        while (!AtEnd()) {
            switch (PeekReservedWord()) {
            case w_architecture: ReadArchitecture(); break;
            case w_entity: ReadEntity(); break;
            default: NextToken(); break;
            }
        }
    } catch (const EVHDLParserError& e) {
        Error_LineNumber = e.Line;
        Error_ColumnNumber = e.Column;
        ReportError(e.what());
    } catch (const std::exception& e) {
        // Anything else (a list refusing an entry, memory) ends the run at the current token.
        Error_LineNumber = CurrentLineNumber();
        Error_ColumnNumber = CurrentColumnNumber();
        ReportError(std::string(e.what()) + PositionSuffix(Error_LineNumber, Error_ColumnNumber));
    }
    try {
        CloseLog();
    } catch (...) {
    }
}

void TVHDLParser::ReportError(const std::string& message)
{
    ErrorMessage = message;
    try {
        LogLine(message);
    } catch (...) {
    }
    if (InArchitecture) return;
    try {
        // The messages panel.
        if (const hostaccess::THostObject client = hostaccess::GetClient()) {
            if (const hostaccess::THostObject workspace = client.CallObject(hostaccess::dispid::Client_GetWorkspace))
                if (const hostaccess::THostObject messages = workspace.CallObject(hostaccess::dispid::Workspace_GetMessagesManager))
                    messages.Call(hostaccess::dispid::MessagesManager_AddMessage,
                                  {std::string("[Error]"), message, std::string("Compiler"), FDocumentPath,
                                   std::string(), std::string(), kNoImage, false, std::string(), std::string()});
            // The text editor shows the position (0-based) in the opened document.
            if (Error_LineNumber > 0 && Error_ColumnNumber > 0) {
                client.CallObject(hostaccess::dispid::Client_GetServerDocumentByPath, {FDocumentPath});
                host::TParameterList parameters;
                parameters.SetState_AddParameter("TargetFilename", FDocumentPath);
                parameters.SetState_AddParameter("FocusWindows", "True");
                parameters.SetState_AddParameter("Kind", "Position");
                parameters.SetState_AddParameterAsInteger("LineNumber", Error_LineNumber - 1);
                parameters.SetState_AddParameterAsInteger("ColumnNumber", Error_ColumnNumber - 1);
                parameters.SetState_AddParameter("SelectionLength", "10");
                std::string text = parameters.GetState();
                hostaccess::RunProcess("TEXTEDIT:CrossProbeNotify", text);
            }
        }
    } catch (...) {
        // The host's failure to show the error does not change the result of the run.
    }
}

// --- Entities -----------------------------------------------------------------

void TVHDLParser::ReadEntity()
{
    const TVHDLTokenizer::TState start = FTokenizer.Save();
    NextToken(); // "entity"
    const int32_t nameLine = CurrentLineNumber(), nameColumn = CurrentColumnNumber();
    const std::string name = UpperName(ExpectIdentifier());
    FTokenizer.Restore(start);
    hostaccess::SetStatusBarText(kStatusBarPanel, "Entity:" + name);
    if (FEntities.Find(name)) ErrorAt("Entity " + name + " Redeclared", nameLine, nameColumn);
    LogLine("New Entity:" + name);
    std::unique_ptr<TEntity> created = CreateEntity();
    created->Name = name;
    TEntity& entity = *FEntities.Add(name, std::move(created));
    ReadEntityBody(entity);
}

void TVHDLParser::ReadEntityBody(TEntity& entity)
{
    ExpectReservedWord(w_entity);
    ExpectIdentifier();
    ExpectReservedWord(w_is);
    for (;;) {
        if (AtEnd()) ExpectReservedWord(w_end);
        const int word = PeekReservedWord();
        if (word == w_end) break;
        switch (word) {
        case w_attribute: ReadAttribute(entity); break;
        case w_constant: ReadConstant(entity); break;
        case w_generic: ReadGenericClause(entity); break;
        case w_port: ReadPortClause(entity); break;
        case w_signal:
            NextToken();
            ReadInterfaceElement(entity, eElementSignalDeclaration);
            ExpectReservedWord(w_Semicolon);
            break;
        default: NextToken(); break; // "begin" and anything not read
        }
    }
    ExpectReservedWord(w_end);
    if (PeekReservedWord() == w_entity) NextToken();
    if (!PeekIdentifier().empty()) NextToken();
    ExpectReservedWord(w_Semicolon);
}

void TVHDLParser::ReadGenericClause(TEntity& entity)
{
    ExpectReservedWord(w_generic);
    ExpectReservedWord(w_LeftParen);
    ReadInterfaceList(entity, eElementGenericDeclaration);
    ExpectReservedWord(w_RightParen);
    ExpectReservedWord(w_Semicolon);
}

void TVHDLParser::ReadPortClause(TEntity& entity)
{
    ExpectReservedWord(w_port);
    ExpectReservedWord(w_LeftParen);
    if (PeekReservedWord() != w_RightParen) ReadInterfaceList(entity, eElementPortDeclaration);
    ExpectReservedWord(w_RightParen);
    ExpectReservedWord(w_Semicolon);
}

void TVHDLParser::ReadInterfaceList(TEntity& entity, TElementKind kind)
{
    ReadInterfaceElement(entity, kind);
    while (PeekReservedWord() == w_Semicolon) {
        NextToken();
        ReadInterfaceElement(entity, kind);
    }
}

void TVHDLParser::ReadRange(std::string& low, std::string& high, int32_t& direction)
{
    // "(" low ("downto" | "to") high ")" or "(" index ")".
    ExpectReservedWord(w_LeftParen);
    low = ExpectExpression(w_downto, w_to, w_RightParen);
    const int word = PeekReservedWord();
    if (word == w_downto || word == w_to) {
        direction = word;
        NextToken();
        high = ExpectExpression(w_RightParen, w_RightParen);
    } else {
        direction = w_to;
        high = low;
    }
    ExpectReservedWord(w_RightParen);
}

void TVHDLParser::ReadInterfaceElement(TEntity& entity, TElementKind kind)
{
    const int32_t line = CurrentLineNumber(), column = CurrentColumnNumber();
    const std::vector<std::string> names = ReadInterfaceElementIdentifierList();
    ExpectReservedWord(w_Colon);
    TPinElectrical mode = eElectricIO;
    switch (PeekReservedWord()) {
    case w_buffer:
    case w_in:
    case w_inout:
    case w_linkage:
    case w_out: mode = ModeOf(NextReservedWord()); break;
    default: break;
    }
    const std::string subtype = ExpectIdentifier();
    std::string low, high, value;
    int32_t direction = -1;
    if (PeekReservedWord() == w_LeftParen) {
        ReadRange(low, high, direction);
    } else if (PeekReservedWord() == w_range) {
        NextToken();
        low = JoinExpression({w_downto, w_to}, false);
        direction = PeekReservedWord();
        if (direction != w_downto) direction = w_to;
        ExpectReservedWord(direction);
        high = JoinExpression({w_Semicolon, w_RightParen, w_Assign}, false);
    }
    if (PeekReservedWord() == w_Assign) {
        NextToken();
        value = ExpectExpression(w_Semicolon, w_RightParen);
    }
    for (const std::string& name : names) {
        TInterfaceElement* element = nullptr;
        const std::string key = UpperName(name);
        switch (kind) {
        case eElementGenericDeclaration:
            element = entity.Generics.Add(key, new TVHDLGeneric(this));
            element->ElementIndex = entity.Generics.Count() - 1;
            break;
        case eElementSignalDeclaration:
            element = entity.Signals.Add(key, new TVHDLSignal(this));
            element->ElementIndex = entity.Signals.Count() - 1;
            break;
        default:
            element = entity.Ports.Add(key, new TVHDLPort(this));
            element->ElementIndex = entity.Ports.Count() - 1;
            break;
        }
        element->LineNumber = line;
        element->ColumnNumber = column;
        element->FName = name;
        element->FMode = mode;
        element->SubTypeIndication = subtype;
        element->FArrayDirection = direction;
        element->Expression1 = low;
        element->Expression2 = high;
        element->DefaultValue = value;
    }
}

void TVHDLParser::ReadAttribute(TEntity& entity)
{
    auto attribute = std::make_unique<TVHDLAttribute>(this);
    ExpectReservedWord(w_attribute);
    attribute->AttributeDesignator = ExpectIdentifier();
    if (PeekReservedWord() == w_of) {
        NextToken();
        attribute->AttributeKind = eAttributeKind_Specification;
        if (PeekReservedWord() == w_all) {
            NextToken();
            attribute->AttributeTarget = eAttributeTarget_All;
        } else if (PeekReservedWord() == w_others) {
            NextToken();
            attribute->AttributeTarget = eAttributeTarget_Others;
        } else {
            attribute->AttributeTarget = eAttributeTarget_List;
            attribute->TargetList.push_back(ExpectIdentifierOrConstant());
            while (PeekReservedWord() == w_Comma) {
                NextToken();
                attribute->TargetList.push_back(ExpectIdentifierOrConstant());
            }
        }
        ExpectReservedWord(w_Colon);
        const int entityClass = PeekReservedWord();
        if (!IsEntityClass(entityClass)) Error("Entity Class Expected (Entity..Units)");
        NextToken();
        attribute->AttributeTargetKind = entityClass;
        ExpectReservedWord(w_is);
    } else {
        attribute->AttributeKind = eAttributeKind_Declaration;
    }
    attribute->AttributeExpression = JoinStringValue(ExpectExpression(w_Semicolon, w_Semicolon));
    ExpectReservedWord(w_Semicolon);
    entity.Attributes.Add("", attribute.release());
}

void TVHDLParser::ReadConstant(TEntity& entity)
{
    auto constant = std::make_unique<TVHDLConstant>(this);
    ExpectReservedWord(w_constant);
    constant->ConstantDesignators = ReadIdentifierList();
    ExpectReservedWord(w_Colon);
    constant->ConstantTypeId = ExpectExpression(w_Assign, w_Semicolon);
    if (PeekReservedWord() == w_Assign) {
        NextToken();
        constant->ConstantExpression = JoinStringValue(ExpectExpression(w_Semicolon, w_Semicolon));
    }
    ExpectReservedWord(w_Semicolon);
    entity.Constants.Add("", constant.release());
}

// --- Architectures ------------------------------------------------------------

void TVHDLParser::ReadArchitecture()
{
    InArchitecture = true;
    const TVHDLTokenizer::TState start = FTokenizer.Save();
    NextToken(); // "architecture"
    const std::string name = UpperName(ExpectIdentifier());
    ExpectReservedWord(w_of);
    const int32_t entityLine = CurrentLineNumber(), entityColumn = CurrentColumnNumber();
    const std::string entityName = UpperName(ExpectIdentifier());
    FTokenizer.Restore(start);
    TEntity* entity = FEntities.Find(entityName);
    if (!entity)
        ErrorAt("Entity : " + entityName + " not found for Architecture : " + name, entityLine, entityColumn);
    LogLine("New Architecture: " + name + " For Entity:" + entityName);

    ExpectReservedWord(w_architecture);
    ExpectIdentifier();
    ExpectReservedWord(w_of);
    ExpectIdentifier();
    ExpectReservedWord(w_is);
    for (;;) {
        if (AtEnd()) ExpectReservedWord(w_end);
        const int word = PeekReservedWord();
        if (word == w_end) break;
        switch (word) {
        case w_attribute: ReadAttribute(*entity); break;
        case w_component: ReadComponentDeclaration(*entity); break;
        case w_signal:
            NextToken();
            ReadInterfaceElement(*entity, eElementSignalDeclaration);
            ExpectReservedWord(w_Semicolon);
            break;
        case w_begin:
            NextToken();
            ReadStatementPart(*entity);
            break;
        default: NextToken(); break;
        }
    }
    ExpectReservedWord(w_end);
    if (PeekReservedWord() == w_architecture) NextToken();
    if (!PeekIdentifier().empty()) NextToken();
    ExpectReservedWord(w_Semicolon);
    InArchitecture = false;
}

void TVHDLParser::ReadComponentDeclaration(TEntity& entity)
{
    const TVHDLTokenizer::TState start = FTokenizer.Save();
    NextToken(); // "component"
    const int32_t nameLine = CurrentLineNumber(), nameColumn = CurrentColumnNumber();
    const std::string name = UpperName(ExpectIdentifier());
    FTokenizer.Restore(start);
    hostaccess::SetStatusBarText(kStatusBarPanel, "Component Declaration:" + name);
    if (entity.ComponentDeclarations.Find(name)) ErrorAt("Component " + name + " Redeclared", nameLine, nameColumn);
    LogLine("Component Declaration :" + name);
    TComponentDeclaration& declaration = *entity.ComponentDeclarations.Add(name, new TComponentDeclaration(this));
    declaration.Name = name;

    ExpectReservedWord(w_component);
    ExpectIdentifier();
    if (PeekReservedWord() == w_is) NextToken();
    for (;;) {
        if (AtEnd()) ExpectReservedWord(w_end);
        const int word = PeekReservedWord();
        if (word == w_end) break;
        if (word == w_generic) ReadGenericClause(declaration);
        else if (word == w_port) ReadPortClause(declaration);
        else NextToken();
    }
    ExpectReservedWord(w_end);
    ExpectReservedWord(w_component);
    if (!PeekIdentifier().empty()) NextToken();
    ExpectReservedWord(w_Semicolon);
}

void TVHDLParser::SkipCompoundStatement(int word)
{
    // Up to the "end" followed by the statement's word ("end process", "end block").
    NextToken();
    for (;;) {
        if (AtEnd()) ExpectReservedWord(w_end);
        if (NextReservedWord() != w_end) continue;
        if (PeekReservedWord() == word) {
            NextToken();
            if (!PeekIdentifier().empty()) NextToken();
            ExpectReservedWord(w_Semicolon);
            return;
        }
    }
}

void TVHDLParser::ReadStatementPart(TEntity& entity)
{
    while (!AtEnd()) {
        const int word = PeekReservedWord();
        switch (word) {
        case w_end: return;
        case w_component: Error("Component keyword not supported in component instances");
        case w_entity: Error("Entity Instances Not Supported");
        case w_configuration: Error("Configurations Not Supported");
        case w_process:
        case w_block: SkipCompoundStatement(word); continue;
        default: break;
        }
        if (FTokenizer.Kind() != eToken_Symbol) {
            NextToken();
            continue;
        }
        const int32_t line = CurrentLineNumber(), column = CurrentColumnNumber();
        const std::string first = ExpectIdentifier();
        if (PeekReservedWord() == w_Colon) {
            // A label: a component instance, or a labelled statement read on the next round.
            NextToken();
            switch (PeekReservedWord()) {
            case w_component: Error("Component keyword not supported in component instances");
            case w_entity: Error("Entity Instances Not Supported");
            case w_configuration: Error("Configurations Not Supported");
            default: break;
            }
            if (FTokenizer.Kind() == eToken_Symbol) ReadComponentInstance(entity, first, line, column);
            continue;
        }
        std::string slice;
        if (PeekReservedWord() == w_LeftParen) {
            // A slice of the target: keep its text up to the closing parenthesis.
            const TVHDLTokenizer::TState save = FTokenizer.Save();
            NextToken();
            slice = ExpectExpression(w_RightParen, w_Semicolon, w_LessEqual);
            if (PeekReservedWord() != w_RightParen) {
                FTokenizer.Restore(save);
                continue;
            }
            NextToken();
        }
        if (PeekReservedWord() == w_LessEqual) ReadAssignment(entity, first, slice, line, column);
    }
}

void TVHDLParser::ReadComponentInstance(TEntity& entity, const std::string& name, int32_t line, int32_t column)
{
    hostaccess::SetStatusBarText(kStatusBarPanel, "Component Instance : " + name);
    const std::string type = PeekIdentifier();
    TComponentDeclaration* declaration = entity.ComponentDeclarations.Find(UpperName(type));
    if (!declaration) Error("Component Type " + type + " Not Found");
    LogLine("Component Instance:" + name + " Type:" + declaration->Name);
    auto* instance = new TComponentInstance(this);
    entity.ComponentInstances.Add(UpperName(name), instance);
    instance->LineNumber = line;
    instance->ColumnNumber = column;
    instance->Name = name;
    instance->ComponentType = type;
    instance->ComponentDeclaration = declaration;
    instance->Entity = &entity;
    NextToken(); // the type
    if (PeekReservedWord() == w_generic) {
        NextToken();
        ExpectReservedWord(w_map);
        ExpectReservedWord(w_LeftParen);
        ReadAssociationList(entity, *instance, false);
        ExpectReservedWord(w_RightParen);
    }
    if (PeekReservedWord() == w_port) {
        NextToken();
        ExpectReservedWord(w_map);
        ExpectReservedWord(w_LeftParen);
        ReadAssociationList(entity, *instance, true);
        ExpectReservedWord(w_RightParen);
    }
    ExpectReservedWord(w_Semicolon);
}

void TVHDLParser::ReadAssociationList(TEntity& entity, TComponentInstance& instance, bool portMap)
{
    const TComponentDeclaration& declaration = *instance.ComponentDeclaration;
    const std::string where = " in Component Instance " + instance.Name + "(" + instance.ComponentType + ")";
    // Positional elements take the declaration's elements by declaration order.
    std::vector<TInterfaceElement*> byPosition;
    if (portMap) {
        byPosition.resize(static_cast<size_t>(declaration.Ports.Count()));
        for (int i = 0; i < declaration.Ports.Count(); ++i) {
            TInterfaceElement* port = declaration.Ports.Items(i);
            if (port->ElementIndex >= 0 && port->ElementIndex < static_cast<int32_t>(byPosition.size()))
                byPosition[static_cast<size_t>(port->ElementIndex)] = port;
        }
    } else {
        byPosition.resize(static_cast<size_t>(declaration.Generics.Count()));
        for (int i = 0; i < declaration.Generics.Count(); ++i) {
            TInterfaceElement* generic = declaration.Generics.Items(i);
            if (generic->ElementIndex >= 0 && generic->ElementIndex < static_cast<int32_t>(byPosition.size()))
                byPosition[static_cast<size_t>(generic->ElementIndex)] = generic;
        }
    }
    int position = 0;
    for (;; ++position) {
        TAssociationElement* element = portMap ? static_cast<TAssociationElement*>(new TMappedPort(this))
                                               : static_cast<TAssociationElement*>(new TMappedGeneric(this));
        std::unique_ptr<TAssociationElement> owned(element);
        element->ComponentInstance = &instance;
        const int32_t line = CurrentLineNumber(), column = CurrentColumnNumber();
        std::string name;
        if (PeekReservedWord() == w_open) {
            name = std::string(FTokenizer.TokenText());
            NextToken();
        } else {
            name = ExpectIdentifierOrConstant();
        }
        std::string low, high;
        int32_t direction = -1;
        if (PeekReservedWord() == w_LeftParen) ReadRange(low, high, direction);
        const int next = PeekReservedWord();
        if (next == w_Comma || next == w_RightParen) {
            // Positional: the name is the actual part.
            element->ActualPart = name;
            element->Actual_Expression1 = low;
            element->Actual_Expression2 = high;
            element->Actual_ArrayDirection = direction;
            if (static_cast<size_t>(position) < byPosition.size())
                element->VHDLPort = byPosition[static_cast<size_t>(position)];
            if (portMap && !element->VHDLPort) ErrorAt("Out of Range Port Map: " + name + where, line, column);
        } else {
            element->FormalPart = name;
            element->Formal_Expression1 = low;
            element->Formal_Expression2 = high;
            element->Formal_ArrayDirection = direction;
            ExpectReservedWord(w_Arrow);
            if (PeekReservedWord() == w_open) {
                element->ActualPart = std::string(FTokenizer.TokenText());
                NextToken();
            } else {
                element->ActualPart = ExpectIdentifierOrConstant();
            }
            if (PeekReservedWord() == w_LeftParen)
                ReadRange(element->Actual_Expression1, element->Actual_Expression2, element->Actual_ArrayDirection);
            if (portMap) {
                element->VHDLPort = declaration.Ports.Find(UpperName(name));
                if (!element->VHDLPort) ErrorAt("Unrecognized Pin " + name + where, line, column);
            } else {
                element->VHDLPort = declaration.Generics.Find(UpperName(name));
            }
        }
        const std::string actual = UpperName(element->ActualPart);
        if (TVHDLSignal* signal = entity.Signals.Find(actual)) {
            element->SignalOrPort = signal;
            signal->MappedPorts.Add(UpperName(element->FormalPart), element);
        } else if (TVHDLPort* port = entity.Ports.Find(actual)) {
            element->SignalOrPort = port;
            port->MappedPorts.Add(UpperName(element->FormalPart), element);
        }
        LogLine("Adding AssociationElement:" + element->GetState_StringDescriptor());
        (portMap ? instance.PortMap : instance.GenericMap).Add(UpperName(element->FormalPart), owned.release());
        if (PeekReservedWord() != w_Comma) break;
        NextToken();
    }
}

void TVHDLParser::ReadAssignment(TEntity& entity, const std::string& target, const std::string& targetSlice,
                                 int32_t line, int32_t column)
{
    ExpectReservedWord(w_LessEqual);
    // The source: a name with an optional slice, or any other expression.
    const TVHDLTokenizer::TState start = FTokenizer.Save();
    std::string sourceName, sourceLow, sourceHigh;
    int32_t sourceDirection = -1;
    bool simple = false;
    if (FTokenizer.Kind() == eToken_Symbol) {
        sourceName = ExpectIdentifier();
        if (PeekReservedWord() == w_LeftParen) {
            const TVHDLTokenizer::TState save = FTokenizer.Save();
            NextToken();
            sourceLow = JoinExpression({w_downto, w_to, w_RightParen, w_Semicolon}, false);
            const int word = PeekReservedWord();
            if (word == w_downto || word == w_to) {
                sourceDirection = word;
                NextToken();
                sourceHigh = JoinExpression({w_RightParen, w_Semicolon}, false);
            }
            if (PeekReservedWord() == w_RightParen && sourceDirection >= 0) NextToken();
            else FTokenizer.Restore(save), sourceDirection = -2;
        }
        simple = PeekReservedWord() == w_Semicolon && sourceDirection != -2;
    }
    FTokenizer.Restore(start);
    const std::string expression = ExpectExpression(w_Semicolon, w_Semicolon, w_Semicolon);
    ExpectReservedWord(w_Semicolon);

    // Target slices are split at DOWNTO or TO (either case).
    std::string targetLow, targetHigh;
    bool targetSliced = false, targetSliceBad = false;
    if (!targetSlice.empty()) {
        const std::string upper = UpperName(targetSlice);
        size_t at = upper.find("DOWNTO");
        size_t width = 6;
        if (at == std::string::npos) {
            at = upper.find("TO");
            width = 2;
        }
        if (at == std::string::npos) {
            targetSliceBad = true;
        } else {
            targetLow = std::string(Trim(std::string_view(targetSlice).substr(0, at)));
            targetHigh = std::string(Trim(std::string_view(targetSlice).substr(at + width)));
            targetSliced = true;
        }
    }

    const std::string key = UpperName(target);
    TVHDLSignal* signal = entity.Signals.Find(key);
    TVHDLPort* port = signal ? nullptr : entity.Ports.Find(key);
    if (!signal && !port) ErrorAt("Unrecognized Assignment " + target, line, column);
    const bool sourceSliced = sourceDirection >= 0;
    const std::string sliceText = targetSliced  ? "[" + targetLow + ".." + targetHigh + "]"
                                  : sourceSliced ? "[" + sourceLow + ".." + sourceHigh + "]"
                                                 : std::string();
    if (signal) {
        TVHDLPort* source = simple ? entity.Ports.Find(UpperName(sourceName)) : nullptr;
        if (source && !targetSliceBad)
            LogLine(std::string(targetSliced || sourceSliced ? "SignalConnectedToPortSlice:" : "SignalConnectedToPort:") +
                    signal->GetState_StringDescriptor() + " To " + source->GetState_StringDescriptor() + sliceText);
        else
            LogLine("Unrecognized expression " + expression + " assigned to signal " + target);
        return;
    }
    LogLine("Found PortAssignment:" + target + " <= " + expression);
    if (targetSliceBad) {
        LogLine("Unrecognized slice " + targetSlice + " assigned to port " + target);
        return;
    }
    TVHDLSignal* source = simple ? entity.Signals.Find(UpperName(sourceName)) : nullptr;
    if (source)
        LogLine(std::string(targetSliced || sourceSliced ? "PortConnectedToSignalSlice:" : "PortConnectedToSignal:") +
                port->GetState_StringDescriptor() + " To " + source->GetState_StringDescriptor() + sliceText);
    else
        LogLine("Unrecognized expression " + expression + " assigned to port " + target);
}

} // namespace bsdl
