-- wrk script: cycles through the class-search request of every technology of the site, as
-- one Java search of the client does, one technology after another.
local technologies = {}
local query = os.getenv("QUERY") or "Vector"
local sheet = os.getenv("SHEET") or "search-class.xsl"
local index = 0

for name in string.gmatch(os.getenv("TECHNOLOGIES") or "java.base", "[^,]+") do
  table.insert(technologies, name)
end

request = function()
  index = index % #technologies + 1
  local path = "/xql.dll/vantrel/java/data/" .. technologies[index] .. "/index.bnd?xslsheet=vantrel:/java/xsl/"
      .. sheet .. "&qtarget=" .. query .. "&packagename=&classname=" .. query .. "&methodname="
  return wrk.format("GET", path)
end
