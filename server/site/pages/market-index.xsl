<?xml version="1.0" encoding="UTF-8"?>
<!-- The Marketplace index the client downloads: marketplace/category/subcategory/component
     with id and name, from the catalogue's placements. A component placed twice appears twice. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="UTF-8" indent="yes"/>
  <xsl:key name="by-primary" match="category" use="primaryCategory"/>
  <xsl:key name="by-secondary" match="category" use="concat(primaryCategory, '|', secondaryCategory)"/>

  <xsl:template match="/">
    <marketplace>
      <xsl:for-each select="/components/component/categories/category[generate-id() = generate-id(key('by-primary', primaryCategory)[1])]">
        <xsl:sort select="primaryCategory"/>
        <xsl:variable name="primary" select="primaryCategory"/>
        <category name="{$primary}">
          <xsl:for-each select="key('by-primary', $primary)[generate-id() = generate-id(key('by-secondary', concat($primary, '|', secondaryCategory))[1])]">
            <xsl:sort select="secondaryCategory"/>
            <subcategory name="{secondaryCategory}">
              <xsl:for-each select="key('by-secondary', concat($primary, '|', secondaryCategory))/../..">
                <xsl:sort select="componentName"/>
                <component id="{@SCID}" name="{componentName}"/>
              </xsl:for-each>
            </subcategory>
          </xsl:for-each>
        </category>
      </xsl:for-each>
    </marketplace>
  </xsl:template>
</xsl:stylesheet>
