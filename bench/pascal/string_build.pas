{ A million two-character pieces cut with Copy, looked up with Pos and joined into lines of
  100 characters; the result counts the characters and the pieces found. }
var Total: Integer;

function Build: Integer;
var digits, odd, piece, line: String; i, n, chars: Integer;
begin
  digits := '01234567890';
  odd := '2345678';
  line := '';
  n := 0;
  chars := 0;
  for i := 1 to 1000000 do begin
    piece := Copy(digits, i mod 10 + 1, 2);
    line := line + piece;
    if Pos(piece, odd) > 0 then
      n := n + 1;
    if Length(line) >= 100 then begin
      chars := chars + Length(line);
      line := '';
    end;
  end;
  Result := chars + n;
end;

begin
  Total := Build;
end.
