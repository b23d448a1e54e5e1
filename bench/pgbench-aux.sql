-- The point query of GetCaleProduAux, run by pgbench as a prepared statement. The code is cast to
-- CHAR(4) so that it keeps the key's index, as the server's bound parameter does.
\set b random(1, :branches)
\set m random(1, 12)
\set d random(1, 28)
SELECT COUNT(*) FROM CALEPRODUCAO WHERE CDFILIAL = CAST(lpad(CAST(:b AS TEXT), 4, '0') AS CHAR(4)) AND CDPERIPRODU = '01' AND DTPRODUCAO = make_date(:year, :m, :d) HAVING EXISTS (SELECT 1 FROM CALEPRODUCAO WHERE CDFILIAL = CAST(lpad(CAST(:b AS TEXT), 4, '0') AS CHAR(4)) AND CDPERIPRODU = '01' AND DTPRODUCAO BETWEEN make_date(:year, 1, 1) AND make_date(:year, 12, 31));
