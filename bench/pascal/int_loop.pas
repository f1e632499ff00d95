{ Ten million turns of an integer loop with mod and if. }
var Total: Integer;

function Count: Integer;
var i, s: Integer;
begin
  s := 0;
  for i := 1 to 10000000 do
    if i mod 3 = 0 then
      s := s + 1
    else
      s := s + 2;
  Result := s;
end;

begin
  Total := Count;
end.
