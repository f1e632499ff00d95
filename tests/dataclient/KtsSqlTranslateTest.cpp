// The stand-in server's translation of the SQL Server forms the program sends: one case per form
// of its table, literals left alone, unknown text passed unchanged.
#include "KtsSqlTranslate.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

namespace {

TEST(KtsSqlTranslate, KnownForms) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"SELECT GETDATE()", "SELECT datetime('now', 'localtime')"},
        {"SELECT getdate () AS Now", "SELECT datetime('now', 'localtime') AS Now"},
        {"SELECT TOP 10 * FROM pList ORDER BY ID", "SELECT * FROM pList ORDER BY ID LIMIT 10"},
        {"select distinct top 3 Name from pList;", "select distinct Name from pList LIMIT 3"},
        {"SELECT * FROM dbo.pList JOIN [dbo].pMark ON 1=1",
         "SELECT * FROM pList JOIN pMark ON 1=1"},
        {"SELECT [ID], [First Name] FROM [pList]", "SELECT \"ID\", \"First Name\" FROM \"pList\""},
        {"SELECT name FROM dbo.sysobjects WHERE OBJECTPROPERTY(id, N'IsUserTable') = 1",
         "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
         "ORDER BY name"},
        {"EXEC [KTS-SRV].Zarin.dbo.sp_executesql N'SELECT TOP 1 [Name] FROM dbo.pList WHERE "
         "Name = ''Иванов'''",
         "SELECT \"Name\" FROM pList WHERE Name = 'Иванов' LIMIT 1"},
        // Literals are data: nothing inside them is rewritten.
        {"SELECT 'GETDATE() dbo.x [y]' , [z]", "SELECT 'GETDATE() dbo.x [y]' , \"z\""},
        {"SELECT 'it''s [a]' FROM t", "SELECT 'it''s [a]' FROM t"},
        // Anything else goes to SQLite as it is.
        {"SELECT * FROM pList WHERE ID = ?1", "SELECT * FROM pList WHERE ID = ?1"},
        {"SELECT 'unclosed [x]", "SELECT 'unclosed [x]"},
        {"UPDATE TOPS SET x = 1", "UPDATE TOPS SET x = 1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ktsd::translateSql(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

}  // namespace
