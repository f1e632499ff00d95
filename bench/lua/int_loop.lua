-- Ten million turns of an integer loop with mod and if.
local function count()
  local s = 0
  for i = 1, 10000000 do
    if i % 3 == 0 then
      s = s + 1
    else
      s = s + 2
    end
  end
  return s
end

return count()
