var a: array[1..3] of array of String; i: Integer;
begin
  SetLength(a[1], 2);
  with Report do Caption := <Q."F"> + Q."G";
  for i := Low(a) to High(a) do ShowMessage(Length(a[i]))
end.
