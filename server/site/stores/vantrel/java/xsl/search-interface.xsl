<?xml version="1.0" encoding="UTF-8"?>
<!-- Classes and interfaces that implement or extend the named interface, directly or through
     their supertypes (simple or qualified name, any case). -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="search-common.xsl"/>
  <xsl:template match="/">
    <xsl:call-template name="results">
      <xsl:with-param name="hits" select="/index/classes/class[implements[@key = $q or @qkey = $q]]"/>
    </xsl:call-template>
  </xsl:template>
</xsl:stylesheet>
