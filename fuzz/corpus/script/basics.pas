var i, s: Integer;
function Fact(n: Integer): Int64;
begin
  if n <= 1 then Result := 1 else Result := n * Fact(n - 1);
end;
procedure Swap(var a, b: Integer);
var t: Integer;
begin t := a; a := b; b := t end;
var x, y: Integer;
begin
  s := 0;
  for i := 1 to 10 do if i mod 2 = 0 then s := s + i;
  ShowMessage(IntToStr(s));
  ShowMessage(Fact(20));
  x := 1; y := 2; Swap(x, y); ShowMessage(Format('%d %d', [x, y]));
  ShowMessage(Copy('Hello', 2, 3) + ' ' + IntToStr(Pos('l', 'Hello')));
  ShowMessage(FormatDateTime('dd.mm.yyyy hh:nn', EncodeDate(2024, 2, 29) + 0.5));
  try
    i := 1 div 0;
  except
    ShowMessage('caught: ' + ExceptionMessage);
  end;
  case 'b' of 'a': ShowMessage('A'); 'b', 'c': ShowMessage('BC'); end;
  ShowMessage(-7 div 2); ShowMessage(-7 mod 2);
  x := 'abc';
end.
