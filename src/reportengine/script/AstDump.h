// A compact prefix text of a syntax tree, "(+ 1 (* 2 3))", for parser tests and `vscript --ast`.
// Thread contract: pure functions over a tree that is not being changed.
#pragma once

#include "reportengine/script/Ast.h"

namespace script {

QString DumpExpr(const Expr& e);
QString DumpStmt(const Stmt& s);

}  // namespace script
