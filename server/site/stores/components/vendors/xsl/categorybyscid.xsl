<?xml version="1.0" encoding="UTF-8"?>
<!-- The catalogue entry of one SCID, as the client keeps it in its local index:
     components/component with SCID, componentName and categories/category. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="UTF-8" indent="yes"/>
  <xsl:param name="scid" select="''"/>

  <xsl:template match="/">
    <components>
      <xsl:copy-of select="/components/component[@SCID = $scid][1]"/>
    </components>
  </xsl:template>
</xsl:stylesheet>
