#include "sql/parser.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <utility>

#include "sql/errors.h"
#include "sql/functions.h"
#include "sql/tokenizer.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), tokens_(Tokenize(text)) {}

  sql::Statement Statement() {
    sql::Statement statement;
    if (IsWord(Peek(), "parameters")) statement.parameters = ParseParameters();
    if (IsWord(Peek(), "transform")) statement.crosstab = ParseTransform();
    if (!Peek().Is(Keyword::Select) && !(Peek().IsOperator("(") && PeekSelectAfterParens())) {
      if (Peek().kind == TokenKind::Invalid) FailToken();
      RaiseNotSelect(FirstWord(), tokens_.size() == 1 ? std::string() : Near());
    }
    statement.query = ParseQuery();
    if (statement.crosstab) ParsePivot(*statement.crosstab, *statement.query);
    if (Peek().IsOperator(";")) Advance();
    if (Peek().kind != TokenKind::End) {
      if (Peek().kind == TokenKind::Invalid) FailToken();
      RaiseTextAfterEnd(Near());
    }
    return statement;
  }

 private:
  // ------------------------------------------------------------ tokens

  const Token& Peek(size_t ahead = 0) const { return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)]; }
  const Token& Advance() {
    const Token& t = tokens_[pos_];
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
  }
  bool AcceptKeyword(Keyword k) {
    if (!Peek().Is(k)) return false;
    Advance();
    return true;
  }
  bool AcceptOperator(std::string_view op) {
    if (!Peek().IsOperator(op)) return false;
    Advance();
    return true;
  }
  size_t LastEnd() const { return pos_ == 0 ? 0 : tokens_[pos_ - 1].end; }

  // The words of the extensions (CASE ... END, LIMIT) are no keywords: a
  // column or alias of that name keeps working where the platform allows it.
  static bool IsWord(const Token& t, std::string_view word) {
    return t.kind == TokenKind::Identifier && t.keyword == Keyword::None && EqualsNoCase(t.text, word);
  }
  bool AcceptWord(std::string_view word) {
    if (!IsWord(Peek(), word)) return false;
    Advance();
    return true;
  }
  // LIMIT followed by a number (or a sign) starts the LIMIT clause; anywhere
  // else the word is a name.
  bool IsLimitAt(size_t at) const {
    const Token& next = tokens_[std::min(at + 1, tokens_.size() - 1)];
    return IsWord(tokens_[at], "limit") &&
           (next.kind == TokenKind::Number || next.IsOperator("-") || next.IsOperator("+"));
  }
  bool AtLimit() const { return IsLimitAt(pos_); }
  // PIVOT is no keyword either: it ends the SELECT of a crosstab, and is a name anywhere else.
  bool IsPivotAt(size_t at) const { return crosstab_ && queryDepth_ <= 1 && IsWord(tokens_[at], "pivot"); }
  bool AtPivot() const { return IsPivotAt(pos_); }

  bool PeekSelectAfterParens() const {
    size_t i = pos_;
    while (i < tokens_.size() && tokens_[i].IsOperator("(")) ++i;
    return i < tokens_.size() && tokens_[i].Is(Keyword::Select);
  }

  // A hint that says where the statement stopped making sense, counted in
  // characters from 1.
  std::string Near() const { return NearToken(Peek()); }
  std::string NearToken(const Token& t) const {
    if (t.kind == TokenKind::End)
      return "Near the end at character " + std::to_string(CharacterNumber(text_, t.begin)) +
             ": the statement ends too early.";
    return NearText(text_, t.begin, t.end);
  }

  // The word a statement that is no SELECT begins with, or nothing.
  std::string FirstWord() const {
    const Token& t = Peek();
    return t.kind == TokenKind::Identifier ? t.text : std::string();
  }

  // ------------------------------------------------------------ nesting

  struct NestingGuard {
    explicit NestingGuard(Parser& p) : parser(p) {
      if (++parser.nesting_ > kMaxNesting) RaiseTooComplex();
    }
    ~NestingGuard() { --parser.nesting_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
    Parser& parser;
  };

  // How many queries the current token is in: a crosstab's PIVOT ends the outermost.
  struct QueryDepth {
    explicit QueryDepth(Parser& p) : parser(p) { ++parser.queryDepth_; }
    ~QueryDepth() { --parser.queryDepth_; }
    QueryDepth(const QueryDepth&) = delete;
    QueryDepth& operator=(const QueryDepth&) = delete;
    Parser& parser;
  };

  // The current top-level expression, for messages that quote it.
  struct ExpressionScope {
    ExpressionScope(Parser& p) : parser(p), saved(p.exprStart_) { parser.exprStart_ = parser.pos_; }
    ~ExpressionScope() { parser.exprStart_ = saved; }
    ExpressionScope(const ExpressionScope&) = delete;
    ExpressionScope& operator=(const ExpressionScope&) = delete;
    Parser& parser;
    size_t saved;
  };

  static bool EndsClause(const Token& t) {
    if (t.kind == TokenKind::End || t.kind == TokenKind::Invalid) return true;
    if (t.IsOperator(";") || t.IsOperator(",")) return true;
    return t.Is(Keyword::From) || t.Is(Keyword::Where) || t.Is(Keyword::Group) || t.Is(Keyword::Having) ||
           t.Is(Keyword::Order) || t.Is(Keyword::Union) || t.Is(Keyword::As) || t.Is(Keyword::Inner) ||
           t.Is(Keyword::Join) || t.Is(Keyword::Full);
  }

  // Words that end an expression however many parentheses are open.
  static bool EndsStatementPart(const Token& t) {
    return t.kind == TokenKind::End || t.IsOperator(";") || t.Is(Keyword::From) || t.Is(Keyword::Where) ||
           t.Is(Keyword::Group) || t.Is(Keyword::Having) || t.Is(Keyword::Order) || t.Is(Keyword::Union);
  }

  // The text of the expression being parsed, to the end of its item.
  std::string ExpressionText() const {
    const size_t begin = tokens_[exprStart_].begin;
    size_t end = LastEnd();
    int depth = 0;
    for (size_t i = exprStart_; i < tokens_.size(); ++i) {
      const Token& t = tokens_[i];
      if (i < pos_) {
        depth += t.IsOperator("(") ? 1 : t.IsOperator(")") ? -1 : 0;
        continue;
      }
      if (t.kind == TokenKind::Invalid) {
        end = t.end;
        break;
      }
      if (t.IsOperator("(")) {
        ++depth;
      } else if (t.IsOperator(")")) {
        if (depth == 0) break;
        --depth;
      } else if (EndsStatementPart(t) ||
                 (depth == 0 && (EndsClause(t) || IsLimitAt(i) || IsPivotAt(i) || t.Is(Keyword::Select)))) {
        break;
      } else if (depth == 0 && (t.Is(Keyword::Left) || t.Is(Keyword::Right) || t.Is(Keyword::Asc) || t.Is(Keyword::Desc)) &&
                 !tokens_[i + 1].IsOperator("(")) {
        break;
      }
      end = t.end;
    }
    std::string s = TextOf(text_, {std::min(begin, end), end});
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.pop_back();
    return s;
  }

  // A lexical fault at the current token.
  [[noreturn]] void FailToken() const {
    const Token& t = Peek();
    switch (t.error) {
      case LexError::UnterminatedString: RaiseBadString(ExpressionText());
      case LexError::BadDate: RaiseBadDate(ExpressionText());
      case LexError::UnterminatedBracket: RaiseBadBracketing(t.text);
      case LexError::UnterminatedComment: {
        Token opening = t;
        opening.end = opening.begin + 2;
        std::string hint = NearToken(opening);
        hint.back() = ':';
        RaiseMissingOperator(ExpressionText(), hint + " the comment is not closed.");
      }
      default: RaiseMissingOperator(ExpressionText(), Near());
    }
  }

  [[noreturn]] void FailExpression() const {
    if (Peek().kind == TokenKind::Invalid) FailToken();
    RaiseMissingOperator(ExpressionText(), Near());
  }

  [[noreturn]] void FailClause(std::string_view clause) const {
    if (Peek().kind == TokenKind::Invalid) FailToken();
    RaiseClauseError(clause, Near());
  }

  // ------------------------------------------------------------ nodes

  ExprPtr Node(ExprKind kind, size_t begin) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->span = {begin, LastEnd()};
    return e;
  }

  ExprPtr WithChildren(ExprPtr e) {
    int height = 0;
    for (const auto& a : e->args) height = std::max(height, a->height);
    e->height = height + 1;
    if (e->height > kMaxHeight) RaiseTooComplex();
    e->span.end = LastEnd();
    return e;
  }

  ExprPtr Binary(Op op, ExprPtr l, ExprPtr r) {
    auto e = Node(ExprKind::Binary, l->span.begin);
    e->op = op;
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return WithChildren(std::move(e));
  }

  // ------------------------------------------------------------ queries

  std::unique_ptr<Query> ParseQuery() {
    NestingGuard guard(*this);
    QueryDepth depth(*this);
    auto q = std::make_unique<Query>();
    q->span.begin = Peek().begin;
    q->cores.push_back(ParseQueryTerm());
    while (AcceptKeyword(Keyword::Union)) {
      q->unionAll.push_back(AcceptKeyword(Keyword::All));
      if (!Peek().Is(Keyword::Select) && !Peek().IsOperator("(")) FailClause("union query");
      q->cores.push_back(ParseQueryTerm());
    }
    if (AcceptKeyword(Keyword::Order)) {
      if (!AcceptKeyword(Keyword::By)) FailClause("ORDER BY clause");
      do {
        if (EndsClause(Peek()) || Peek().IsOperator(")")) FailClause("ORDER BY clause");
        OrderItem item;
        {
          ExpressionScope scope(*this);
          item.expr = ParseExpression();
          if (AcceptKeyword(Keyword::Desc)) item.descending = true;
          else AcceptKeyword(Keyword::Asc);
          if (!Peek().IsOperator(",") && !AtQueryEnd()) FailExpression();
        }
        q->orderBy.push_back(std::move(item));
      } while (AcceptOperator(","));
    }
    if (AtLimit()) ParseLimit(*q);
    q->span.end = LastEnd();
    return q;
  }

  void ParseLimit(Query& q) {
    Advance();  // LIMIT
    const Token& t = Peek();
    if (t.kind != TokenKind::Number || !t.isWhole || t.whole < 0) FailClause("LIMIT clause");
    Advance();
    q.limit = t.whole;
  }

  bool AtQueryEnd() const {
    const Token& t = Peek();
    return t.kind == TokenKind::End || t.IsOperator(";") || (t.IsOperator(")") && nesting_ > 1) || AtLimit() ||
           AtPivot();
  }

  SelectCore ParseQueryTerm() {
    if (Peek().IsOperator("(")) {
      NestingGuard guard(*this);
      Advance();
      auto inner = ParseQuery();
      if (!AcceptOperator(")")) FailClause("union query");
      if (inner->cores.size() != 1 || !inner->orderBy.empty() || inner->limit >= 0) FailClause("union query");
      return std::move(inner->cores.front());
    }
    return ParseSelectCore();
  }

  SelectCore ParseSelectCore() {
    SelectCore core;
    core.span.begin = Peek().begin;
    if (!AcceptKeyword(Keyword::Select)) RaiseNotSelect(FirstWord(), Near());
    if (AcceptKeyword(Keyword::Distinct)) core.quantifier = Quantifier::Distinct;
    else if (AcceptKeyword(Keyword::DistinctRow)) core.quantifier = Quantifier::DistinctRow;
    else AcceptKeyword(Keyword::All);
    if (AcceptKeyword(Keyword::Top)) ParseTop(core.top);
    ParseSelectList(core);
    if (AcceptKeyword(Keyword::From)) core.from = ParseFrom();
    if (AcceptKeyword(Keyword::Where)) core.where = ParseClauseExpression("WHERE clause");
    if (AcceptKeyword(Keyword::Group)) {
      if (!AcceptKeyword(Keyword::By)) FailClause("GROUP BY clause");
      do {
        if (EndsClause(Peek()) || Peek().IsOperator(")")) FailClause("GROUP BY clause");
        ExpressionScope scope(*this);
        core.groupBy.push_back(ParseExpression());
        if (!Peek().IsOperator(",") && !Peek().Is(Keyword::Having) && !AtCoreEnd()) FailExpression();
      } while (AcceptOperator(","));
    }
    if (AcceptKeyword(Keyword::Having)) core.having = ParseClauseExpression("HAVING clause");
    if (!AtCoreEnd()) {
      if (Peek().Is(Keyword::From) || Peek().Is(Keyword::Where) || Peek().Is(Keyword::Group) ||
          Peek().Is(Keyword::Having))
        RaiseBadSelectList(Near());
      if (core.from && !core.where && core.groupBy.empty() && !core.having) FailClause("FROM clause");
      FailExpression();
    }
    core.span.end = LastEnd();
    return core;
  }

  bool AtCoreEnd() const { return AtQueryEnd() || Peek().Is(Keyword::Union) || Peek().Is(Keyword::Order); }

  void ParseTop(Top& top) {
    const Token& t = Peek();
    if (t.kind != TokenKind::Number) RaiseBadSelectList(Near());
    Advance();
    top.present = true;
    top.count = t.isWhole ? static_cast<double>(t.whole) : t.real;
    top.percent = AcceptKeyword(Keyword::Percent);
    if (!top.percent && !t.isWhole) RaiseBadSelectList(Near());
    if (!std::isfinite(top.count) || (top.percent && top.count > 100)) RaiseBadSelectList(Near());
  }

  void ParseSelectList(SelectCore& core) {
    if (Peek().kind == TokenKind::Invalid) {
      ExpressionScope scope(*this);
      FailToken();
    }
    if (EndsClause(Peek()) || AtQueryEnd()) RaiseBadSelectList(Near());
    do {
      SelectItem item;
      item.span.begin = Peek().begin;
      {
        ExpressionScope scope(*this);
        if (EndsClause(Peek())) FailExpression();
        item.expr = ParseExpression();
        if (AcceptKeyword(Keyword::As)) {
          const Token& alias = Peek();
          if (!IsName(alias)) RaiseBadSelectList(Near());
          Advance();
          item.alias = alias.text;
          item.hasAlias = true;
        }
        if (!Peek().IsOperator(",") && !EndsClause(Peek()) && !AtQueryEnd()) FailExpression();
      }
      item.span.end = LastEnd();
      core.items.push_back(std::move(item));
    } while (AcceptOperator(","));
  }

  ExprPtr ParseClauseExpression(std::string_view clause) {
    if (EndsClause(Peek()) || Peek().IsOperator(")")) FailClause(clause);
    ExpressionScope scope(*this);
    auto e = ParseExpression();
    if (!EndsClause(Peek()) && !AtQueryEnd()) FailExpression();
    if (Peek().IsOperator(",") || Peek().Is(Keyword::As)) FailExpression();
    return e;
  }

  static bool IsName(const Token& t) {
    return (t.kind == TokenKind::Identifier && t.keyword == Keyword::None) || t.kind == TokenKind::QuotedIdentifier;
  }

  // ------------------------------------------------------------ FROM

  std::unique_ptr<FromNode> ParseFrom() {
    auto left = ParseJoinChain();
    while (AcceptOperator(",")) {
      auto right = ParseJoinChain();
      auto node = std::make_unique<FromNode>();
      node->kind = FromNode::Kind::Join;
      node->join = JoinKind::Cross;
      node->span = {left->span.begin, right->span.end};
      node->left = std::move(left);
      node->right = std::move(right);
      left = std::move(node);
    }
    return left;
  }

  bool AcceptJoin(JoinKind& kind) {
    size_t save = pos_;
    if (AcceptKeyword(Keyword::Inner)) {
      kind = JoinKind::Inner;
    } else if (Peek().Is(Keyword::Left) || Peek().Is(Keyword::Right) || Peek().Is(Keyword::Full)) {
      kind = Peek().Is(Keyword::Left) ? JoinKind::Left : Peek().Is(Keyword::Right) ? JoinKind::Right : JoinKind::Full;
      Advance();
      AcceptKeyword(Keyword::Outer);
    } else if (Peek().Is(Keyword::Join)) {
      kind = JoinKind::Inner;
    } else {
      return false;
    }
    if (!AcceptKeyword(Keyword::Join)) {
      pos_ = save;
      Advance();
      FailClause("JOIN operation");
    }
    return true;
  }

  std::unique_ptr<FromNode> ParseJoinChain() {
    auto left = ParseTablePrimary();
    JoinKind kind;
    while (AcceptJoin(kind)) {
      auto right = ParseTablePrimary();
      if (!AcceptKeyword(Keyword::On)) FailClause("JOIN operation");
      auto node = std::make_unique<FromNode>();
      node->kind = FromNode::Kind::Join;
      node->join = kind;
      {
        if (EndsClause(Peek()) || Peek().IsOperator(")")) FailClause("JOIN operation");
        ExpressionScope scope(*this);
        node->on = ParseExpression();
        JoinKind next;
        size_t save = pos_;
        const bool joinFollows = AcceptJoin(next);
        pos_ = save;
        if (!joinFollows && !Peek().IsOperator(",") && !Peek().IsOperator(")") && !EndsClause(Peek()) && !AtLimit())
          FailExpression();
      }
      node->span = {left->span.begin, LastEnd()};
      node->left = std::move(left);
      node->right = std::move(right);
      left = std::move(node);
    }
    return left;
  }

  std::unique_ptr<FromNode> ParseTablePrimary() {
    NestingGuard guard(*this);
    auto node = std::make_unique<FromNode>();
    node->span.begin = Peek().begin;
    if (AcceptOperator("(")) {
      if (Peek().Is(Keyword::Select)) {
        node->kind = FromNode::Kind::Derived;
        node->derived = ParseQuery();
        if (!AcceptOperator(")")) FailClause("FROM clause");
        ParseAlias(*node);
      } else {
        node = ParseFrom();
        if (!AcceptOperator(")")) FailClause("JOIN operation");
      }
      node->span.end = LastEnd();
      return node;
    }
    if (!IsName(Peek())) FailClause("FROM clause");
    node->kind = FromNode::Kind::Table;
    node->tableName = Advance().text;
    while (Peek().IsOperator(".") && IsName(Peek(1))) {
      Advance();
      node->tableName += '.';
      node->tableName += Advance().text;
    }
    node->nameSpan = {node->span.begin, LastEnd()};
    ParseAlias(*node);
    node->span.end = LastEnd();
    return node;
  }

  void ParseAlias(FromNode& node) {
    if (AcceptKeyword(Keyword::As)) {
      if (!IsName(Peek())) FailClause("FROM clause");
      node.alias = Advance().text;
      node.hasAlias = true;
    } else if (IsName(Peek()) && !AtLimit() && !AtPivot()) {
      node.alias = Advance().text;
      node.hasAlias = true;
    }
  }

  // ------------------------------------------------------------ expressions

  ExprPtr ParseExpression() {
    NestingGuard guard(*this);
    return ParseImp();
  }

  template <class Next>
  ExprPtr LeftChain(Keyword keyword, Op op, Next next) {
    auto l = (this->*next)();
    while (AcceptKeyword(keyword)) l = Binary(op, std::move(l), (this->*next)());
    return l;
  }

  ExprPtr ParseImp() { return LeftChain(Keyword::Imp, Op::Imp, &Parser::ParseEqv); }
  ExprPtr ParseEqv() { return LeftChain(Keyword::Eqv, Op::Eqv, &Parser::ParseXor); }
  ExprPtr ParseXor() { return LeftChain(Keyword::Xor, Op::Xor, &Parser::ParseOr); }

  // And and Or keep a whole chain in one node, so long chains stay shallow.
  template <class Next>
  ExprPtr FlatChain(Keyword keyword, Op op, Next next) {
    auto first = (this->*next)();
    if (!Peek().Is(keyword)) return first;
    auto e = Node(ExprKind::Binary, first->span.begin);
    e->op = op;
    e->args.push_back(std::move(first));
    while (AcceptKeyword(keyword)) e->args.push_back((this->*next)());
    return WithChildren(std::move(e));
  }

  ExprPtr ParseOr() { return FlatChain(Keyword::Or, Op::Or, &Parser::ParseAnd); }
  ExprPtr ParseAnd() { return FlatChain(Keyword::And, Op::And, &Parser::ParseNot); }

  ExprPtr ParseNot() {
    if (!Peek().Is(Keyword::Not)) return ParseComparison();
    NestingGuard guard(*this);
    const size_t begin = Advance().begin;
    auto e = Node(ExprKind::Unary, begin);
    e->op = Op::Not;
    e->args.push_back(ParseNot());
    return WithChildren(std::move(e));
  }

  static Op ComparisonOp(const Token& t) {
    if (t.kind != TokenKind::Operator) return Op::None;
    if (t.text == "=") return Op::Eq;
    if (t.text == "<>") return Op::Ne;
    if (t.text == "<") return Op::Lt;
    if (t.text == ">") return Op::Gt;
    if (t.text == "<=") return Op::Le;
    if (t.text == ">=") return Op::Ge;
    return Op::None;
  }

  std::unique_ptr<Query> ParseParenthesizedQuery() {
    if (!AcceptOperator("(") || !Peek().Is(Keyword::Select)) FailExpression();
    auto q = ParseQuery();
    if (!AcceptOperator(")")) FailExpression();
    return q;
  }

  ExprPtr ParseComparison() {
    auto l = ParseConcat();
    while (true) {
      // PIVOT x IN (...) lists the columns: that IN is no comparison.
      if (nesting_ == pivotNesting_ && (Peek().Is(Keyword::In) || (Peek().Is(Keyword::Not) && Peek(1).Is(Keyword::In))))
        return l;
      const size_t begin = l->span.begin;
      if (Op op = ComparisonOp(Peek()); op != Op::None) {
        Advance();
        if (Peek().Is(Keyword::Any) || Peek().Is(Keyword::Some) || Peek().Is(Keyword::All)) {
          const bool all = Advance().Is(Keyword::All);
          auto e = Node(ExprKind::Quantified, begin);
          e->op = op;
          e->all = all;
          e->args.push_back(std::move(l));
          e->subquery = ParseParenthesizedQuery();
          l = WithChildren(std::move(e));
        } else {
          l = Binary(op, std::move(l), ParseConcat());
        }
        continue;
      }
      bool negated = false;
      if (Peek().Is(Keyword::Not) &&
          (Peek(1).Is(Keyword::Like) || Peek(1).Is(Keyword::Between) || Peek(1).Is(Keyword::In))) {
        Advance();
        negated = true;
      }
      if (AcceptKeyword(Keyword::Like)) {
        auto e = Node(ExprKind::Like, begin);
        e->negated = negated;
        e->args.push_back(std::move(l));
        e->args.push_back(ParseConcat());
        l = WithChildren(std::move(e));
      } else if (AcceptKeyword(Keyword::Between)) {
        auto e = Node(ExprKind::Between, begin);
        e->negated = negated;
        e->args.push_back(std::move(l));
        e->args.push_back(ParseConcat());
        if (!AcceptKeyword(Keyword::And)) FailExpression();
        e->args.push_back(ParseConcat());
        l = WithChildren(std::move(e));
      } else if (AcceptKeyword(Keyword::In)) {
        if (!Peek().IsOperator("(")) FailExpression();
        if (Peek(1).Is(Keyword::Select)) {
          auto e = Node(ExprKind::InSubquery, begin);
          e->negated = negated;
          e->args.push_back(std::move(l));
          e->subquery = ParseParenthesizedQuery();
          l = WithChildren(std::move(e));
        } else {
          NestingGuard guard(*this);
          Advance();
          auto e = Node(ExprKind::InList, begin);
          e->negated = negated;
          e->args.push_back(std::move(l));
          do e->args.push_back(ParseExpression());
          while (AcceptOperator(","));
          if (!AcceptOperator(")")) FailExpression();
          l = WithChildren(std::move(e));
        }
      } else if (AcceptKeyword(Keyword::Is)) {
        auto e = Node(ExprKind::IsNull, begin);
        e->negated = AcceptKeyword(Keyword::Not);
        if (!AcceptKeyword(Keyword::Null)) FailExpression();
        e->args.push_back(std::move(l));
        l = WithChildren(std::move(e));
      } else {
        return l;
      }
    }
  }

  ExprPtr ParseConcat() {
    auto l = ParseAdditive();
    while (AcceptOperator("&")) l = Binary(Op::Concat, std::move(l), ParseAdditive());
    return l;
  }

  ExprPtr ParseAdditive() {
    auto l = ParseMod();
    while (true) {
      if (AcceptOperator("+")) l = Binary(Op::Add, std::move(l), ParseMod());
      else if (AcceptOperator("-")) l = Binary(Op::Sub, std::move(l), ParseMod());
      else return l;
    }
  }

  ExprPtr ParseMod() { return LeftChain(Keyword::Mod, Op::Mod, &Parser::ParseIntDiv); }

  ExprPtr ParseIntDiv() {
    auto l = ParseMultiplicative();
    while (AcceptOperator("\\")) l = Binary(Op::IntDiv, std::move(l), ParseMultiplicative());
    return l;
  }

  ExprPtr ParseMultiplicative() {
    auto l = ParseUnary();
    while (true) {
      if (AcceptOperator("*")) l = Binary(Op::Mul, std::move(l), ParseUnary());
      else if (AcceptOperator("/")) l = Binary(Op::Div, std::move(l), ParseUnary());
      else return l;
    }
  }

  ExprPtr Negate(size_t begin, ExprPtr operand) {
    if (operand->kind == ExprKind::Literal) {
      const Variant& v = operand->value;
      Variant folded;
      if (v.Type() == VarType::Long) {
        folded = Variant::BigInt(-static_cast<int64_t>(v.AsLong()));
      } else if (v.Type() == VarType::BigInt && v.AsBigInt() != INT64_MIN) {
        folded = Variant::BigInt(-v.AsBigInt());
      } else if (v.Type() == VarType::Double) {
        folded = Variant::Double(-v.AsDouble());
      }
      if (!folded.IsEmpty()) {
        if (folded.Type() == VarType::BigInt && folded.AsBigInt() >= INT32_MIN && folded.AsBigInt() <= INT32_MAX)
          folded = Variant::Long(static_cast<int32_t>(folded.AsBigInt()));
        operand->value = folded;
        operand->span.begin = begin;
        return operand;
      }
    }
    auto e = Node(ExprKind::Unary, begin);
    e->op = Op::Neg;
    e->args.push_back(std::move(operand));
    return WithChildren(std::move(e));
  }

  ExprPtr ParseUnary() {
    if (Peek().IsOperator("-") || Peek().IsOperator("+")) {
      // A sign counts twice: each stays an operator of the generated SQL,
      // which the database's parser holds on a stack of about a hundred.
      NestingGuard guard(*this);
      NestingGuard generated(*this);
      const bool minus = Peek().IsOperator("-");
      const size_t begin = Advance().begin;
      auto operand = ParseUnary();
      if (!minus) {
        operand->span.begin = begin;
        return operand;
      }
      return Negate(begin, std::move(operand));
    }
    return ParsePower();
  }

  ExprPtr ParsePower() {
    auto l = ParsePrimary();
    while (AcceptOperator("^")) {
      ExprPtr r;
      if (Peek().IsOperator("-")) {
        NestingGuard guard(*this);
        const size_t begin = Advance().begin;
        r = Negate(begin, ParsePrimary());
      } else {
        r = ParsePrimary();
      }
      l = Binary(Op::Pow, std::move(l), std::move(r));
    }
    return l;
  }

  ExprPtr Literal(size_t begin, Variant value) {
    auto e = Node(ExprKind::Literal, begin);
    e->value = std::move(value);
    return e;
  }

  ExprPtr ParsePrimary() {
    const Token& t = Peek();
    const size_t begin = t.begin;
    switch (t.kind) {
      case TokenKind::Number: {
        Advance();
        if (t.isWhole) {
          if (t.whole >= INT32_MIN && t.whole <= INT32_MAX)
            return Literal(begin, Variant::Long(static_cast<int32_t>(t.whole)));
          return Literal(begin, Variant::BigInt(t.whole));
        }
        if (!std::isfinite(t.real)) {
          std::string hint = NearToken(t);
          hint.back() = ':';
          RaiseMissingOperator(ExpressionText(), hint + " the number is too large.");
        }
        return Literal(begin, Variant::Double(t.real));
      }
      case TokenKind::String: Advance(); return Literal(begin, Variant::String(t.text));
      case TokenKind::Date: Advance(); return Literal(begin, Variant::Date(t.real));
      case TokenKind::Invalid: FailToken();
      case TokenKind::End: FailExpression();
      case TokenKind::Operator:
        if (t.text == "(") return ParseParenthesized();
        if (t.text == "*") {
          Advance();
          return Node(ExprKind::Star, begin);
        }
        FailExpression();
      case TokenKind::Identifier:
        switch (t.keyword) {
          case Keyword::None: break;
          case Keyword::True: Advance(); return Literal(begin, Variant::Boolean(true));
          case Keyword::False: Advance(); return Literal(begin, Variant::Boolean(false));
          case Keyword::Null: Advance(); return Literal(begin, Variant::Null());
          case Keyword::Not: {  // as an operand: a - Not b
            NestingGuard guard(*this);
            Advance();
            auto e = Node(ExprKind::Unary, begin);
            e->op = Op::Not;
            e->args.push_back(ParseComparison());
            return WithChildren(std::move(e));
          }
          case Keyword::Exists: {
            Advance();
            auto e = Node(ExprKind::Exists, begin);
            e->subquery = ParseParenthesizedQuery();
            return WithChildren(std::move(e));
          }
          default:
            // Left, Right and Asc are functions as well as keywords.
            if (Peek(1).IsOperator("(") && FindFunction(t.text)) break;
            FailExpression();
        }
        [[fallthrough]];
      case TokenKind::QuotedIdentifier:
        if (IsWord(t, "case") && (IsWord(Peek(1), "when") || SimpleCaseFollows())) return ParseCase();
        return ParseName();
    }
    FailExpression();
  }

  // Whether the word CASE at the current token starts CASE x WHEN ...: a WHEN
  // follows x before its clause ends (a CASE ... END inside x skipped). A
  // column named Case is never followed so.
  bool SimpleCaseFollows() const {
    int depth = 0, cases = 0;
    for (size_t i = pos_ + 1; i < tokens_.size(); ++i) {
      const Token& t = tokens_[i];
      if (t.kind == TokenKind::Invalid || EndsStatementPart(t)) return false;
      if (t.IsOperator("(")) {
        ++depth;
      } else if (t.IsOperator(")")) {
        if (--depth < 0) return false;
      } else if (depth == 0 && cases == 0 && (EndsClause(t) || IsLimitAt(i))) {
        return false;
      } else if (tokens_[i - 1].IsOperator(".") || tokens_[i - 1].IsOperator("!")) {
        continue;  // a column's name after its qualifier
      } else if (IsWord(t, "case")) {
        ++cases;
      } else if (IsWord(t, "end") && cases > 0) {
        --cases;
      } else if (depth == 0 && cases == 0 && IsWord(t, "when")) {
        return i > pos_ + 1;
      }
    }
    return false;
  }

  // CASE [x] WHEN c THEN v [WHEN c THEN v ...] [ELSE v] END; with x, each c
  // is a value that x equals.
  ExprPtr ParseCase() {
    NestingGuard guard(*this);
    const size_t begin = Advance().begin;
    auto e = Node(ExprKind::Case, begin);
    if (!IsWord(Peek(), "when")) {
      e->caseOperand = true;
      e->args.push_back(ParseExpression());
    }
    if (!IsWord(Peek(), "when")) FailExpression();
    while (AcceptWord("when")) {
      e->args.push_back(ParseExpression());
      if (!AcceptWord("then")) FailExpression();
      e->args.push_back(ParseExpression());
    }
    if (AcceptWord("else")) e->args.push_back(ParseExpression());
    if (!AcceptWord("end")) FailExpression();
    return WithChildren(std::move(e));
  }

  ExprPtr ParseParenthesized() {
    NestingGuard guard(*this);
    const size_t begin = Advance().begin;
    if (Peek().Is(Keyword::Select)) {
      auto e = Node(ExprKind::ScalarSubquery, begin);
      e->subquery = ParseQuery();
      if (!AcceptOperator(")")) FailExpression();
      return WithChildren(std::move(e));
    }
    auto inner = ParseExpression();
    if (!AcceptOperator(")")) FailExpression();
    inner->span = {begin, LastEnd()};
    return inner;
  }

  ExprPtr ParseName() {
    const Token& first = Advance();
    const size_t begin = first.begin;
    if (first.kind == TokenKind::Identifier && Peek().IsOperator("(")) return ParseCall(first.text, begin);
    auto e = Node(ExprKind::Column, begin);
    e->names.push_back(first.text);
    while (Peek().IsOperator(".") || Peek().IsOperator("!")) {
      if (Peek(1).IsOperator("*")) {
        Advance();
        Advance();
        e->kind = ExprKind::Star;
        e->span.end = LastEnd();
        return e;
      }
      if (!IsName(Peek(1))) {
        Advance();
        FailExpression();
      }
      Advance();
      e->names.push_back(Advance().text);
    }
    if (e->names.size() > 2) {  // a qualifier written with dots, as a file name
      std::string qualifier = e->names[0];
      for (size_t i = 1; i + 1 < e->names.size(); ++i) qualifier += "." + e->names[i];
      e->names = {qualifier, e->names.back()};
    }
    e->span.end = LastEnd();
    return e;
  }

  ExprPtr ParseCall(const std::string& name, size_t begin) {
    NestingGuard guard(*this);
    Advance();  // (
    auto e = Node(ExprKind::Call, begin);
    e->names.push_back(name);
    if (EqualsNoCase(name, "count") && AcceptKeyword(Keyword::Distinct)) e->distinct = true;
    if (!Peek().IsOperator(")")) {
      do {
        if (Peek().IsOperator("*") && (Peek(1).IsOperator(")"))) {
          const size_t at = Advance().begin;
          e->args.push_back(Node(ExprKind::Star, at));
        } else {
          e->args.push_back(ParseExpression());
        }
      } while (AcceptOperator(","));
    }
    if (!AcceptOperator(")")) FailExpression();
    return WithChildren(std::move(e));
  }

  // ------------------------------------------------------------ PARAMETERS, TRANSFORM, PIVOT

  // PARAMETERS name type [, name type ...]; names may be bracketed, a type
  // word may take a size, Text(50).
  std::vector<ParameterDecl> ParseParameters() {
    Advance();  // PARAMETERS
    std::vector<ParameterDecl> parameters;
    do {
      if (!IsName(Peek())) FailClause("PARAMETER clause");
      ParameterDecl parameter;
      parameter.span.begin = Peek().begin;
      parameter.name = Advance().text;
      for (const ParameterDecl& earlier : parameters)
        if (EqualsNoCase(earlier.name, parameter.name))
          RaiseClauseError("PARAMETER clause", "The parameter '" + parameter.name + "' is declared twice.");
      const Token& type = Peek();
      const std::optional<JetType> declared = type.kind == TokenKind::Identifier ? ParameterType(type.text) : std::nullopt;
      if (!declared) {
        if (type.kind != TokenKind::Identifier) FailClause("PARAMETER clause");
        RaiseClauseError("PARAMETER clause", "'" + type.text + "' is not a data type.");
      }
      Advance();
      parameter.type = *declared;
      if (AcceptOperator("(")) {
        do
          if (Peek().kind != TokenKind::Number || !Advance().isWhole) FailClause("PARAMETER clause");
        while (AcceptOperator(","));
        if (!AcceptOperator(")")) FailClause("PARAMETER clause");
      }
      parameter.span.end = LastEnd();
      parameters.push_back(std::move(parameter));
    } while (AcceptOperator(","));
    if (!AcceptOperator(";")) FailClause("PARAMETER clause");
    return parameters;
  }

  // The type words of the dialect and their synonyms.
  static std::optional<JetType> ParameterType(std::string_view word) {
    static constexpr std::pair<std::string_view, JetType> kTypes[] = {
        {"bit", JetType::Boolean},        {"boolean", JetType::Boolean},     {"logical", JetType::Boolean},
        {"logical1", JetType::Boolean},   {"yesno", JetType::Boolean},       {"byte", JetType::Byte},
        {"tinyint", JetType::Byte},       {"integer1", JetType::Byte},       {"short", JetType::Short},
        {"smallint", JetType::Short},     {"integer2", JetType::Short},      {"long", JetType::Long},
        {"int", JetType::Long},           {"integer", JetType::Long},        {"integer4", JetType::Long},
        {"counter", JetType::Long},       {"autoincrement", JetType::Long},  {"currency", JetType::Currency},
        {"money", JetType::Currency},     {"single", JetType::Single},       {"real", JetType::Single},
        {"float4", JetType::Single},      {"ieeesingle", JetType::Single},   {"double", JetType::Double},
        {"float", JetType::Double},       {"float8", JetType::Double},       {"ieeedouble", JetType::Double},
        {"number", JetType::Double},      {"numeric", JetType::Double},      {"decimal", JetType::Double},
        {"dec", JetType::Double},         {"datetime", JetType::Date},       {"date", JetType::Date},
        {"time", JetType::Date},          {"timestamp", JetType::Date},      {"text", JetType::Text},
        {"char", JetType::Text},          {"character", JetType::Text},      {"varchar", JetType::Text},
        {"string", JetType::Text},        {"alphanumeric", JetType::Text},   {"nchar", JetType::Text},
        {"nvarchar", JetType::Text},      {"memo", JetType::Memo},           {"longtext", JetType::Memo},
        {"longchar", JetType::Memo},      {"note", JetType::Memo},           {"ntext", JetType::Memo},
        {"binary", JetType::Binary},      {"varbinary", JetType::Binary},    {"longbinary", JetType::Binary},
        {"image", JetType::Binary},       {"general", JetType::Binary},      {"oleobject", JetType::Binary},
        {"guid", JetType::Guid},          {"uniqueidentifier", JetType::Guid}, {"value", JetType::Null},
    };
    for (const auto& [name, type] : kTypes)
      if (EqualsNoCase(name, word)) return type;
    return std::nullopt;
  }

  // TRANSFORM value, up to the SELECT that follows it.
  std::unique_ptr<Crosstab> ParseTransform() {
    Advance();  // TRANSFORM
    crosstab_ = true;
    auto crosstab = std::make_unique<Crosstab>();
    if (Peek().Is(Keyword::Select) || EndsClause(Peek())) FailClause("TRANSFORM statement");
    ExpressionScope scope(*this);
    crosstab->value = ParseExpression();
    if (Peek().kind == TokenKind::End || Peek().IsOperator(";")) FailClause("TRANSFORM statement");
    if (!Peek().Is(Keyword::Select)) FailExpression();
    return crosstab;
  }

  // PIVOT pivot [IN (value, ...)] after the crosstab's SELECT, which groups.
  void ParsePivot(Crosstab& crosstab, const Query& query) {
    if (!AtPivot()) {
      if (Peek().kind == TokenKind::Invalid) FailToken();
      RaiseClauseError("TRANSFORM statement", Peek().kind == TokenKind::End || Peek().IsOperator(";")
                                                   ? "A crosstab ends in PIVOT and the expression whose values make its columns."
                                                   : Near());
    }
    if (query.cores.size() != 1 || query.cores[0].groupBy.empty())
      RaiseClauseError("TRANSFORM statement", query.cores.size() != 1
                                                  ? "The SELECT of a crosstab is no union."
                                                  : "The SELECT of a crosstab groups its rows: GROUP BY the row headings.");
    Advance();  // PIVOT
    if (EndsClause(Peek()) || Peek().Is(Keyword::In)) FailClause("TRANSFORM statement");
    {
      ExpressionScope scope(*this);
      pivotNesting_ = nesting_ + 1;
      crosstab.pivot = ParseExpression();
      pivotNesting_ = -1;
    }
    if (!AcceptKeyword(Keyword::In)) return;
    crosstab.listed = true;
    if (!AcceptOperator("(") || Peek().IsOperator(")")) FailClause("TRANSFORM statement");
    do {
      ExpressionScope scope(*this);
      crosstab.listedValues.push_back(ParseExpression());
    } while (AcceptOperator(","));
    if (!AcceptOperator(")")) FailClause("TRANSFORM statement");
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int nesting_ = 0;
  size_t exprStart_ = 0;  // token index
  bool crosstab_ = false;  // after TRANSFORM
  int queryDepth_ = 0;
  int pivotNesting_ = -1;  // the nesting of a PIVOT expression's own level, while it is parsed
};

}  // namespace

Statement Parse(std::string_view statement) { return Parser(statement).Statement(); }

}  // namespace vendrel::driver::sql
