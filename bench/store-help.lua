-- wrk script: the help list of one address after another, over the addresses the store
-- benchmark filled (ADDRESSES of them, "user<N>@example.org").
local addresses = tonumber(os.getenv("ADDRESSES") or "2000")
local index = 0

request = function()
  index = (index + 7919) % addresses
  return wrk.format("GET", "/vantrel/ui/help/list.jsp?clientid=0&email=user" .. index .. "@example.org")
end
