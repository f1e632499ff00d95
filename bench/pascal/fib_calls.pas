{ Fib(28) the recursive way: 1 028 457 calls of a small function. }
var Total: Integer;

function Fib(n: Integer): Integer;
begin
  if n < 2 then
    Result := n
  else
    Result := Fib(n - 1) + Fib(n - 2);
end;

begin
  Total := Fib(28);
end.
