program P; uses A;
const N = 10; T: String = 'x'#13#10;
var a, b: Integer; s: String = 'It''s'; v: Variant;
procedure Swap(var x, y: Integer; const c: String = ''); var t: Integer;
  function Inner: Integer; begin Result := $FF shl 2 end;
begin t := x; x := y; y := t end;
begin
  { brace } (* paren *) // line
  case s of 'a'..'c': a := 1; else b := 2 end;
  repeat Inc(a) until (a > 3) or not (b in [1, 3..5]);
  try a := a div b except raise end;
  with Report do Engine.NewPage;
  Memo1.Lines[0] := <Q."Field">;
end.
