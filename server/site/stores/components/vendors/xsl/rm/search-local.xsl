<?xml version="1.0" encoding="UTF-8"?>
<!-- Catalogued components matching qtarget (name, vendor, description, package or category,
     any case): components/component with the SCID attribute and the name. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="UTF-8" indent="yes"/>
  <xsl:param name="qtarget" select="''"/>
  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>
  <xsl:variable name="q" select="translate(normalize-space($qtarget), $upper, $lower)"/>

  <xsl:template match="/">
    <components>
      <xsl:if test="$q != ''">
        <xsl:for-each select="/components/component[
            contains(translate(concat(componentName, ' ', vendor, ' ', description, ' ', artifact), $upper, $lower), $q)
            or packages/package[contains(., $q)]
            or categories/category/*[contains(translate(., $upper, $lower), $q)]]">
          <component SCID="{@SCID}">
            <componentName><xsl:value-of select="componentName"/></componentName>
          </component>
        </xsl:for-each>
      </xsl:if>
    </components>
  </xsl:template>
</xsl:stylesheet>
